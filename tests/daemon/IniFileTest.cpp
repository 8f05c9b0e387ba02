// The configuration file's reader on its own: what inih hands on, and every way a file is
// refused, without starting the daemon.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "TempFiles.h"
#include "config/IniFile.h"

using qrvld::readIniFile;
using qrvltest::tempFileWith;

namespace {
using Entry = std::tuple<std::string, std::string, std::string>;

// Reads `path`, collecting what the handler is given; the handler refuses the name "stop".
bool read(const std::string& path, std::vector<Entry>& seen, std::string& error) {
  return readIniFile(
      path,
      [&](const std::string& section, const std::string& name, const std::string& value, std::string& why) {
        if (name == "stop") {
          why = "stopped here";
          return false;
        }
        seen.emplace_back(section, name, value);
        return true;
      },
      error);
}
}  // namespace

TEST(IniFile, HandsOnEverySettingInFileOrder) {
  // Random files of sections, settings, comments, blank lines and stray blanks around the
  // parts (not before a name: inih reads an indented line as the last value's continuation):
  // the handler sees exactly the settings, trimmed, in the order written.
  std::mt19937 random(20261209);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    std::vector<Entry> expected;
    std::string section;
    const auto blanks = [&] { return std::string(random() % 3, random() % 2 ? ' ' : '\t'); };
    for (int line = static_cast<int>(random() % 30); line > 0; --line) {
      switch (random() % 5) {
        case 0:
          section = "s" + std::to_string(random() % 1000);
          text += "[" + section + "]";
          break;
        case 1:
          text += blanks() + (random() % 2 ? "; " : "# ") + "a comment = not a setting";
          break;
        case 2:
          text += blanks();
          break;
        default: {
          const std::string name = "k" + std::to_string(random() % 1000);
          const std::string value = random() % 4 ? std::to_string(random()) + " x" : "";
          text += name + blanks() + "=" + blanks() + value + blanks();
          expected.emplace_back(section, name, value);
        }
      }
      text += random() % 4 ? "\n" : "\r\n";
    }
    std::vector<Entry> seen;
    std::string error;
    EXPECT_TRUE(read(tempFileWith(text), seen, error)) << error << "\n" << text;
    EXPECT_EQ(seen, expected) << text;
  }
}

TEST(IniFile, RefusesWithTheLineAtFaultAndReadsNothingAfterIt) {
  const std::string longValue(5000, 'x');
  const struct {
    std::string text;
    int line;
    const char* reason;
    std::vector<Entry> seen;
  } cases[] = {
      {"[a]\nx = 1\nstop = 2\ny = 3\n", 3, "stopped here", {{"a", "x", "1"}}},
      {"[a]\nx = 1\ny = " + longValue + "\nz = 3\n", 3, "line longer than", {{"a", "x", "1"}}},
      {std::string("[a]\nx = 1\ny = 2\0 z = 3\nw = 4\n", 27), 3, "a NUL byte in the line", {{"a", "x", "1"}}},
      // inih reads on past a line it cannot parse; the file is refused all the same.
      {"[a]\nx = 1\nno equals sign\ny = 3\n", 3, "not a valid INI line", {{"a", "x", "1"}, {"a", "y", "3"}}},
  };
  for (const auto& c : cases) {
    const std::string path = tempFileWith(c.text);
    std::vector<Entry> seen;
    std::string error;
    EXPECT_FALSE(read(path, seen, error));
    EXPECT_EQ(error.rfind(path + ":" + std::to_string(c.line) + ": " + c.reason, 0), 0u) << error;
    EXPECT_EQ(seen, c.seen) << error;
  }
}

TEST(IniFile, ReadsOnlyARegularFileAndNeverWaits) {
  // A FIFO without a writer would block an open or a read for ever.
  const std::string folder = qrvltest::tempFolder();
  const std::string fifo = folder + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& [path, kind] : {std::pair<std::string, std::string>{fifo, "a FIFO"}, {folder, "a folder"},
                                   {"/dev/null", "a device"}}) {
    std::vector<Entry> seen;
    std::string error;
    EXPECT_FALSE(read(path, seen, error));
    EXPECT_EQ(error, "configuration file " + path + " is " + kind + ", not a regular file");
  }
  std::vector<Entry> seen;
  std::string error;
  EXPECT_FALSE(read(folder + "/missing", seen, error));
  EXPECT_EQ(error.rfind("cannot open configuration file " + folder + "/missing: ", 0), 0u) << error;
}
