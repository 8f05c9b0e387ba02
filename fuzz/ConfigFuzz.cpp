// The daemon's configuration file as qrvld reads it: inih on whole lines, then the [qrvld]
// and [map] settings. Any text is either taken, within the limits the daemon relies on, or
// refused with a reason of one line.
// Input: the file's bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "Configuration.h"
#include "source/SourceFactory.h"

using namespace qrvld;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A file in memory, named through /proc so that qrvld opens it as any other path.
  static const int fd = memfd_create("qrvld.conf", MFD_CLOEXEC);
  static std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

  char program[] = "qrvld";
  char option[] = "--config";
  char* argv[] = {program, option, path.data(), nullptr};
  Configuration configuration;
  const Options& options = configuration.options;
  std::string error;
  const ParseResult result = parseConfiguration(3, argv, configuration, error);
  if (result == ParseResult::Error) {
    if (error.empty() || error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  if (result != ParseResult::Run || !error.empty()) std::abort();
  if (options.listen.empty() || options.allow.empty() || options.port == 0 || options.burst == 0 ||
      options.cadenceMs < 10 || options.cadenceMs > 3600000 || !isSourceName(options.source) ||
      options.sysfsRoot.empty()) {
    std::abort();
  }
  return 0;
}
