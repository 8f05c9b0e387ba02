#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace qrvld {

// How attribute files are read: pread(2), or a stand-in that fails like a driver does.
using ReadFunction = std::function<ssize_t(int fd, void* buffer, std::size_t size, off_t offset)>;

// One numeric sysfs attribute kept open and read again from offset 0 each time, so a
// reading costs no path look-up. A failed read closes the file; the next read opens it
// again relative to the chip's directory.
class AttributeFile {
 public:
  enum class Result { Value, CannotOpen, ReadError, NotANumber };

  AttributeFile(ReadFunction read, std::string name);
  ~AttributeFile();
  AttributeFile(AttributeFile&& other) noexcept;
  AttributeFile& operator=(AttributeFile&&) = delete;
  AttributeFile(const AttributeFile&) = delete;
  AttributeFile& operator=(const AttributeFile&) = delete;

  // Reads the value, opening the file in `directoryFd` first when it is not open.
  Result read(int directoryFd, long long& value);
  // errno of the last CannotOpen or ReadError.
  int error() const { return error_; }
  bool isOpen() const { return fd_ >= 0; }

 private:
  void close();

  ReadFunction read_;
  std::string name_;
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace qrvld
