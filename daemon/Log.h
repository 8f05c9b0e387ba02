#pragma once
// Log lines on stderr with a syslog priority prefix ("<3>..."), which the system journal
// turns into the line's priority. One line per event.

namespace qrvld {

enum class Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

void log(Priority priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace qrvld
