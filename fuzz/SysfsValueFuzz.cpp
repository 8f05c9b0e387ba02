// A hwmon attribute's text as qrvld reads it: a value only for one decimal integer, with
// at most blanks around it as the kernel writes it, and then exactly that integer.
// Input: the bytes a read of the attribute gives.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "hwmon/AttributeFile.h"

using qrvld::AttributeFile;

namespace {
const std::uint8_t* input;
std::size_t inputSize;

// The rule written out plainly, apart from the parser under test.
bool expected(const char* text, std::size_t size, long long& value) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  std::size_t first = 0;
  std::size_t last = size;
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  const bool negative = first < last && text[first] == '-';
  if (negative) ++first;
  if (first == last) return false;
  unsigned long long magnitude = 0;
  const unsigned long long limit = negative ? 1ULL << 63 : (1ULL << 63) - 1;
  for (std::size_t i = first; i < last; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
  return true;
}

// A folder with the attribute in it, so that the file is found and opened as in sysfs;
// removed when the run ends.
std::string folderPath;

void removeFolder() {
  unlink((folderPath + "/temp1_input").c_str());
  rmdir(folderPath.c_str());
}

int attributeFolder() {
  char folder[] = "/tmp/qrvl-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  folderPath = folder;
  std::atexit(removeFolder);
  const int file = open((folderPath + "/temp1_input").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  if (file < 0) std::abort();
  close(file);
  return open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int folder = attributeFolder();
  // The driver's answer, as pread gives it: at most the buffer's size.
  static AttributeFile file(
      [](int, void* buffer, std::size_t room, off_t) -> ssize_t {
        const std::size_t n = inputSize < room ? inputSize : room;
        std::memcpy(buffer, input, n);
        return static_cast<ssize_t>(n);
      },
      "temp1_input");
  input = data;
  inputSize = size;

  long long value = 0;
  const AttributeFile::Result result = file.read(folder, value);
  long long want = 0;
  // The reader's buffer holds 31 bytes and the end; a fuller read is too long for a number.
  const bool number = size < 32 && expected(reinterpret_cast<const char*>(data), size, want);
  if (number != (result == AttributeFile::Result::Value)) std::abort();
  if (!number && result != AttributeFile::Result::NotANumber) std::abort();
  if (number && value != want) std::abort();
  return 0;
}
