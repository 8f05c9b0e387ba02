// The exporters' web configuration file as qrvld reads it: libyaml's events into a tree of
// bounded depth, then the keys, the files they name and the users. Any text is either
// taken, with TLS only when a certificate and key were read, or refused with one line
// that names the file. Names in it are taken from an empty folder of its own, so a fuzzed
// name reaches only what an absolute path names: devices and FIFOs included, which must be
// refused without blocking.
// Input: the file's bytes.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/WebConfig.h"

using namespace qrvld;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    char name[] = "/tmp/qrvl-webfuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    return std::string(name);
  }();
  static const std::string path = folder + "/web.yml";
  static const int fd = [] {
    const int opened = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (opened < 0) std::abort();
    return opened;
  }();
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

  WebConfig config;
  std::string error;
  if (!readWebConfig(path, config, error)) {
    if (error.rfind(path, 0) != 0 || error.find('\n') != std::string::npos) std::abort();
    return 0;
  }
  if (!error.empty() || config.path != path) std::abort();
  if (config.tls && (config.certPem.empty() || config.keyPem.empty())) std::abort();
  if (config.minVersion < 12 || config.maxVersion > 13 || config.minVersion > config.maxVersion) std::abort();
  for (const auto& [user, hash] : config.users) {
    if (hash.size() != 60 || user.find(':') != std::string::npos) std::abort();
  }
  config.summary();
  config.priorities();
  return 0;
}
