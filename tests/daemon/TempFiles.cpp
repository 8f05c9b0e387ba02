#include "TempFiles.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qrvltest {

std::string tempFile(const std::string& name) {
  std::string path = "/tmp/" + name + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  return path;
}

std::string tempFolder(const std::string& name) {
  std::string path = "/tmp/" + name + "-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return path;
}

std::string tempFileWith(const std::string& text, const std::string& name) { return writeFile(tempFile(name), text); }

std::string writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::trunc) << text;
  return path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qrvltest
