#include "hwmon/AttributeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <utility>

namespace qrvld {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The kernel writes one decimal integer and a newline; anything else is not a reading.
bool parseInteger(const char* first, const char* last, long long& value) {
  while (first < last && isBlank(*first)) ++first;
  while (last > first && isBlank(last[-1])) --last;
  const auto result = std::from_chars(first, last, value);
  return first != last && result.ec == std::errc() && result.ptr == last;
}
}  // namespace

AttributeFile::AttributeFile(ReadFunction read, std::string name) : read_(std::move(read)), name_(std::move(name)) {}

AttributeFile::Result AttributeFile::open(int directoryFd) {
  // O_NONBLOCK keeps a FIFO that slipped in after the look-up from stalling the open.
  fd_.reset(openat(directoryFd, name_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd_) {
    error_ = errno;
    return error_ == ENOENT ? Result::Gone : Result::CannotOpen;
  }
  struct stat status {};
  if (fstat(fd_.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    fd_.reset();
    return Result::NotAFile;
  }
  device_ = status.st_dev;
  inode_ = status.st_ino;
  return Result::Value;
}

AttributeFile::Result AttributeFile::read(int directoryFd, long long& value) {
  // One stat of the name per reading: an open file that was removed or replaced would go on
  // giving its old text, where sysfs gives ENODEV.
  struct stat status {};
  if (fstatat(directoryFd, name_.c_str(), &status, 0) != 0) {
    error_ = errno;
    fd_.reset();
    return error_ == ENOENT ? Result::Gone : Result::CannotOpen;
  }
  if (fd_ && (status.st_dev != device_ || status.st_ino != inode_)) {
    fd_.reset();
    return Result::Gone;
  }
  if (!S_ISREG(status.st_mode)) return Result::NotAFile;
  if (!fd_) {
    const Result opened = open(directoryFd);
    if (opened != Result::Value) return opened;
  }
  // Longer than any number a driver writes, so a longer text is caught as not a number.
  char text[32];
  ssize_t n;
  do {
    n = read_(fd_.get(), text, sizeof text, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    // EIO, ENODATA, EAGAIN, ENXIO from a driver, ENODEV once the device has gone: the
    // value is missing this time, and the file is opened afresh next time.
    error_ = errno;
    fd_.reset();
    return Result::ReadError;
  }
  const bool whole = static_cast<std::size_t>(n) < sizeof text;
  return whole && parseInteger(text, text + n, value) ? Result::Value : Result::NotANumber;
}

}  // namespace qrvld
