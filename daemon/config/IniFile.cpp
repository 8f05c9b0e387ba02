#include "config/IniFile.h"

#include <fcntl.h>
#include <ini.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/UniqueFd.h"

namespace qrvld {

namespace {
struct Parsing {
  FILE* file;
  const IniHandler& handler;
  int line = 0;       // lines handed to inih so far; inih handles each before asking for the next
  int errorLine = 0;  // the first line the reader or the handler found at fault
  std::string error;

  void fail(int at, std::string reason) {
    errorLine = at;
    error = std::move(reason);
  }
};

// inih's fgets-like reader: one whole line per call, ending in '\n'; null at the end of the
// file and after the first error, so nothing past a line at fault is read as a setting.
char* nextLine(char* buffer, int size, void* stream) {
  auto& r = *static_cast<Parsing*>(stream);
  if (r.errorLine != 0) return nullptr;
  // The text must leave room for the '\n' and the terminating NUL.
  const int room = size - 2;
  int n = 0;
  int c;
  while ((c = getc_unlocked(r.file)) != EOF && c != '\n') {
    if (c == '\0' || n == room) {
      r.fail(r.line + 1, c == '\0' ? std::string("a NUL byte in the line")
                                   : "line longer than " + std::to_string(room) + " characters");
      return nullptr;
    }
    buffer[n++] = static_cast<char>(c);
  }
  if (ferror(r.file)) {
    r.fail(r.line + 1, std::string("cannot read: ") + std::strerror(errno));
    return nullptr;
  }
  if (c == EOF && n == 0) return nullptr;
  ++r.line;
  buffer[n++] = '\n';
  buffer[n] = '\0';
  return buffer;
}

int onEntry(void* user, const char* section, const char* name, const char* value) {
  auto& r = *static_cast<Parsing*>(user);
  std::string error;
  if (r.handler(section, name, value, error)) return 1;
  r.fail(r.line, error);
  return 0;
}

std::string notRegular(const std::string& path, mode_t mode) {
  const char* kind = S_ISDIR(mode)                    ? "a folder, "
                     : S_ISFIFO(mode)                 ? "a FIFO, "
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device, "
                                                      : "";
  return "configuration file " + path + " is " + kind + "not a regular file";
}
}  // namespace

bool readIniFile(const std::string& path, const IniHandler& handler, std::string& error) {
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) {
    error = "cannot open configuration file " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat status {};
  if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    error = notRegular(path, status.st_mode);
    return false;
  }
  const std::unique_ptr<FILE, int (*)(FILE*)> file(fdopen(fd.get(), "r"), fclose);
  if (!file) {
    error = "cannot read configuration file " + path + ": " + std::strerror(errno);
    return false;
  }
  // The stream closes it from here on.
  fd.release();
  Parsing parsing{file.get(), handler, 0, 0, {}};
  const int rc = ini_parse_stream(nextLine, &parsing, onEntry, &parsing);
  // inih reports the first line it could not parse, which may come before the handler's.
  if (rc > 0 && (parsing.errorLine == 0 || rc < parsing.errorLine)) {
    error = path + ":" + std::to_string(rc) + ": not a valid INI line";
    return false;
  }
  if (parsing.errorLine != 0) {
    error = path + ":" + std::to_string(parsing.errorLine) + ": " + parsing.error;
    return false;
  }
  if (rc != 0) {
    error = "cannot read configuration file " + path;
    return false;
  }
  return true;
}

}  // namespace qrvld
