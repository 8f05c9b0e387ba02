// The log's rows as written and as read back.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qrvl/history/LogReader.h"
#include "qrvl/history/LogRow.h"

namespace qrvl::history {
namespace {

TEST(LogRow, RandomRowsReadBackAsTheyWereKept) {
  std::mt19937 random(11);
  const char* texts[] = {"45.5", " 3.31", "-12", "+1.25e1", ".5", "7.", "abc", "", "45.5x", "1.2.3", "  ", "1e"};
  const char* notes[] = {"", "CPU above 85", "no reading: time-out, host \"pc\"", "a, line\r\nbreak"};
  std::string file = logFileStart();
  std::vector<Sample> kept;
  for (int row = 0; row < 2000; ++row) {
    char fields[kChannels][8] = {};
    const char* pointers[kChannels];
    for (int c = 0; c < kChannels; ++c) {
      std::strncpy(fields[c], texts[random() % 12], 8);
      pointers[c] = fields[c];
    }
    if (random() % 4 == 0) std::memcpy(fields[0], "12345678", 8);  // no terminating zero
    const bool failed = random() % 10 == 0;
    const std::int64_t utcMs = 1700000000000 + std::int64_t(random()) * 997;
    const int offset = int(random() % (2 * 14 * 60 + 1)) - 14 * 60;
    appendLogRow(file, utcMs, offset, failed ? nullptr : pointers, notes[random() % 4]);
    kept.push_back(sampleOf(utcMs / 1000 * 1000, failed ? nullptr : pointers));
  }
  const std::vector<Sample> read = readLogRows(file);
  ASSERT_EQ(read.size(), kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i)
    ASSERT_EQ(std::memcmp(&read[i], &kept[i], sizeof kept[i]), 0) << "row " << i;  // one NaN for no value
  EXPECT_EQ(numberText("12345678"), "12345678");
  EXPECT_TRUE(numberText("45.5x").empty());
  EXPECT_EQ(aboveNote(0, "85") + "|" + belowNote(5, "3.1") + "|" + backInsideNote(0) + "|" + noReadingNote("time-out"),
            "CPU above 85|Vio below 3.1|CPU back inside|no reading: time-out");
}

TEST(LogRow, LocalTimeWithItsOffset) {
  // 2026-12-08T18:10:01Z in Tokyo and in Newfoundland.
  const std::int64_t t = 1796753401000;
  std::string text;
  appendLocalTime(text, t + 999, 540);
  EXPECT_EQ(text, "2026-12-09T03:10:01+09:00");
  text.clear();
  appendLocalTime(text, t, -210);
  EXPECT_EQ(text, "2026-12-08T14:40:01-03:30");
  std::int64_t back = 0;
  EXPECT_TRUE(parseLocalTime(text, back));
  EXPECT_EQ(back, t);
  for (const char* bad : {"2026-02-29T00:00:00+00:00", "2026-12-09T24:00:00+00:00", "2026-12-09 03:10:01+09:00",
                          "2026-12-09T03:10:01Z", "2026-12-09T03:10:01+09:00 "}) {
    EXPECT_FALSE(parseLocalTime(bad, back)) << bad;
  }
}

TEST(LogRow, DamagedFilesLoseOnlyTheirDamagedRows) {
  const char* good[kChannels] = {"40.0", "41.0", "42.0", "1.25", "1.50", "3.30"};
  std::string file = logFileStart();
  appendLogRow(file, 1796753401000, 540, good, "");
  // Rows that do not parse: too many fields, a stray quote, an unclosed quote (spoiling its
  // line only), a channel that is not a number, a bad time, an empty line.
  file += "2026-12-09T03:10:02+09:00,1,2,3,4,5,6,,extra\r\n";
  file += "2026-12-09T03:10:03+09:00,1,2\"x,3,4,5,6,\r\n";
  file += "2026-12-09T03:10:04+09:00,1,2,3,4,5,6,\"open\r\n";
  file += "2026-12-09T03:10:05+09:00,1,2,3,4,5,six,\r\n";
  file += "2026-13-09T03:10:06+09:00,1,2,3,4,5,6,\r\n\r\n";
  appendLogRow(file, 1796753407000, 540, good, "CPU back inside");
  const std::size_t whole = file.size();

  // A torn last row is skipped, and the next row starts on a line of its own.
  file += "2026-12-09T03:10:08+09:00,40.0,41.0,42.0,1.25,1.50,3.30,CPU abo";
  EXPECT_EQ(readLogRows(file).size(), 2u);
  file += textBeforeAppend(file.size(), file.substr(file.size() - 2));
  appendLogRow(file, 1796753409000, 540, good, "");
  // Torn within its note, the row kept its readings, and now has its line break.
  const std::vector<Sample> read = readLogRows(file);
  ASSERT_EQ(read.size(), 4u);
  EXPECT_EQ(read[2].utcMs, 1796753408000);
  EXPECT_EQ(read[3].utcMs, 1796753409000);
  EXPECT_EQ(textBeforeAppend(whole, file.substr(0, whole)), "");
  EXPECT_EQ(textBeforeAppend(0, ""), logFileStart());
  EXPECT_EQ(logFileStart(), "\xEF\xBB\xBFTime,CPU \xC2\xB0" "C,PWR \xC2\xB0" "C,SYS \xC2\xB0" "C,Vcore V,VTT V,Vio V,Note\r\n");

  // However many rows a file holds, at most kMaxRowsPerFile are read.
  std::string huge;
  for (std::size_t i = 0; i <= kMaxRowsPerFile; ++i) huge += "2026-12-09T03:10:01+09:00,1,,,,,,\r\n";
  EXPECT_EQ(readLogRows(huge).size(), kMaxRowsPerFile);
}

}  // namespace
}  // namespace qrvl::history
