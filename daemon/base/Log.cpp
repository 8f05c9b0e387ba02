#include "base/Log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qrvld {

namespace {
// systemd names the journal's stream in JOURNAL_STREAM as "device:inode"; stderr is that
// stream only while they match (a child that redirects stderr inherits the variable).
bool stderrIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  std::uintmax_t device = 0, inode = 0;
  struct stat status {};
  return stream != nullptr && std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) == 2 &&
         fstat(STDERR_FILENO, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}
}  // namespace

void log(Priority priority, const char* format, ...) {
  static const bool prefixed = stderrIsJournal();
  char line[1024];
  int n = prefixed ? std::snprintf(line, sizeof line, "<%d>", static_cast<int>(priority)) : 0;
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
