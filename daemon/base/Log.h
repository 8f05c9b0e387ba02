#pragma once
// Log lines on stderr, one per event. When stderr is the system journal's stream, each
// starts with its syslog priority ("<3>..."), which the journal turns into the line's
// priority; on a terminal or a pipe the lines are plain.

namespace qrvld {

enum class Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

void log(Priority priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace qrvld
