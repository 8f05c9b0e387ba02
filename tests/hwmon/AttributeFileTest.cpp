// One attribute file: numbers as drivers write them, read errors told apart, re-opening.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "FakeSysfs.h"
#include "hwmon/AttributeFile.h"

using qrvld::AttributeFile;
using Result = AttributeFile::Result;

namespace {
// pread, except that the calls numbered in `failures` fail with that errno (0: read).
struct ScriptedRead {
  explicit ScriptedRead(std::vector<int> failing = {}) : failures(std::move(failing)) {}

  std::vector<int> failures;
  std::vector<int> fds;  // the file of each call

  qrvld::ReadFunction function() {
    return [this](int fd, void* buffer, std::size_t size, off_t offset) -> ssize_t {
      const std::size_t call = fds.size();
      fds.push_back(fd);
      if (call < failures.size() && failures[call] != 0) {
        errno = failures[call];
        return -1;
      }
      return pread(fd, buffer, size, offset);
    };
  }
};
}  // namespace

TEST(AttributeFile, ReadsNumbersAndTellsErrorsApart) {
  qrvltest::FakeSysfs sysfs("intel");
  const int chip = open((sysfs.root() + "/hwmon2").c_str(), O_RDONLY | O_DIRECTORY);
  long long value = 0;

  // One decimal integer and a newline, as drivers write; the open file sees each new text.
  ScriptedRead steady;
  AttributeFile file(steady.function(), "temp1_input");
  for (const auto& [text, expected] : std::vector<std::pair<std::string, long long>>{
           {"45000", 45000}, {"-5250", -5250}, {" 77 ", 77}, {"65261850", 65261850}}) {
    sysfs.write("hwmon2", "temp1_input", text);
    EXPECT_EQ(file.read(chip, value), Result::Value) << text;
    EXPECT_EQ(value, expected) << text;
  }
  // The file stays open: the one file, read again from its start.
  EXPECT_EQ(steady.fds, std::vector<int>(4, steady.fds[0]));

  // Anything else is not a reading: empty, words, junk, fractions, too long a number.
  for (const char* text : {"", "N/A", "12abc", "12 13", "45.5", "+12", "99999999999999999999",
                           "123456789012345678901234567890123456789"}) {
    sysfs.write("hwmon2", "temp1_input", text);
    EXPECT_EQ(file.read(chip, value), Result::NotANumber) << text;
  }

  // Each error a driver or a removed device gives is a ReadError with its errno, and no
  // value; the file is closed, and the next read opens it afresh.
  sysfs.write("hwmon2", "temp1_input", "42000");
  for (int error : {EIO, ENODATA, EAGAIN, ENXIO, ENODEV}) {
    SCOPED_TRACE(std::strerror(error));
    ScriptedRead script({error});
    AttributeFile failing(script.function(), "temp1_input");
    value = 0;
    EXPECT_EQ(failing.read(chip, value), Result::ReadError);
    EXPECT_EQ(failing.error(), error);
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(failing.isOpen());
    EXPECT_EQ(failing.read(chip, value), Result::Value);
    EXPECT_EQ(value, 42000);
  }

  // An interrupted read is tried again at once.
  ScriptedRead interrupted({EINTR, EINTR});
  EXPECT_EQ(AttributeFile(interrupted.function(), "temp1_input").read(chip, value), Result::Value);
  EXPECT_EQ(interrupted.fds.size(), 3u);

  // A file that is not there is gone, told apart from one that cannot be read.
  AttributeFile missing(::pread, "temp9_input");
  EXPECT_EQ(missing.read(chip, value), Result::Gone);
  close(chip);
}
