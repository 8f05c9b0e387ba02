#include "Log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qrvld {

void log(Priority priority, const char* format, ...) {
  char line[1024];
  int n = std::snprintf(line, sizeof line, "<%d>", static_cast<int>(priority));
  va_list args;
  va_start(args, format);
  const int body = std::vsnprintf(line + n, sizeof line - static_cast<std::size_t>(n) - 1, format, args);
  va_end(args);
  if (body > 0) n += body;
  if (n > static_cast<int>(sizeof line) - 2) n = static_cast<int>(sizeof line) - 2;
  // A line break inside a message would split the event into two journal entries.
  for (int i = 0; i < n; ++i) {
    if (line[i] == '\n' || line[i] == '\r') line[i] = ' ';
  }
  line[n++] = '\n';
  // One write per line keeps lines from the two threads whole.
  const int saved = errno;
  while (write(STDERR_FILENO, line, static_cast<std::size_t>(n)) < 0 && errno == EINTR) {
  }
  errno = saved;
}

}  // namespace qrvld
