#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "base/UniqueFd.h"

namespace qrvld {

// How attribute files are read: pread(2), or a stand-in that fails like a driver does.
using ReadFunction = std::function<ssize_t(int fd, void* buffer, std::size_t size, off_t offset)>;

// One numeric sysfs attribute kept open and read again from offset 0 each time. Before each
// read its name is looked up again, so that a file removed or replaced since it was opened
// is not read for the text it last had. Only a regular file is ever opened for reading, and
// never in a way that waits. A failed read closes the file; the next read opens it again
// relative to the chip's directory.
class AttributeFile {
 public:
  // Gone: no file by that name, or no longer the one that was open. NotAFile: a FIFO, a
  // device or a folder by that name, which is not read.
  enum class Result { Value, Gone, NotAFile, CannotOpen, ReadError, NotANumber };

  AttributeFile(ReadFunction read, std::string name);
  AttributeFile(AttributeFile&& other) noexcept = default;
  AttributeFile& operator=(AttributeFile&&) = delete;
  AttributeFile(const AttributeFile&) = delete;
  AttributeFile& operator=(const AttributeFile&) = delete;

  // Reads the value, opening the file in `directoryFd` first when it is not open.
  Result read(int directoryFd, long long& value);
  // errno of the last CannotOpen or ReadError.
  int error() const { return error_; }
  bool isOpen() const { return static_cast<bool>(fd_); }

 private:
  // Value once the file is open.
  Result open(int directoryFd);

  ReadFunction read_;
  std::string name_;
  UniqueFd fd_;
  dev_t device_ = 0;  // identity of the open file
  ino_t inode_ = 0;
  int error_ = 0;
};

}  // namespace qrvld
