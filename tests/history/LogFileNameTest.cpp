// The day's file names, which of them retention chooses, and rotation at local midnight.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "qrvl/history/LogFileName.h"
#include "qrvl/history/LogRotation.h"
#include "qrvl/history/LogRow.h"

namespace qrvl::history {
namespace {

// Central European time: +01:00, and +02:00 from the given instants on.
class ScriptedClock : public LocalClock {
 public:
  std::vector<std::pair<std::int64_t, int>> changes;
  std::int64_t nowUtcMs() const override { return 0; }
  int offsetMinutesAt(std::int64_t utcMs) const override {
    int offset = 60;
    for (const auto& change : changes) {
      if (utcMs >= change.first) offset = change.second;
    }
    return offset;
  }
};

constexpr std::int64_t kHourMs = 3600 * 1000;
// 2026-03-29T01:00Z, when Europe moves to summer time, and 2026-10-25T01:00Z, back.
constexpr std::int64_t kSpringForward = 1774746000000;
constexpr std::int64_t kFallBack = 1792890000000;

TEST(LogFileName, NamesOfTheDayAndTheirSideFiles) {
  EXPECT_EQ(logFileName("QRVGRPH", {2026, 12, 9}), "QRVGRPH-2026-12-09.csv");
  EXPECT_EQ(logFileName("a\\b/c:d*e?f\"g<h>i|j\tk", {2026, 1, 2}, 2), "a_b_c_d_e_f_g_h_i_j_k-2026-01-02.2.csv");
  LogFileId id;
  EXPECT_TRUE(parseLogFileName("a", "A-2026-12-09.12.CSV", id));
  EXPECT_EQ(id.side, 12);
  for (const char* other : {"a-b-2026-12-09.csv", "a-2026-12-09.0.csv", "a-2026-12-09.01.csv", "a-2026-02-30.csv",
                            "a-2026-12-09.csv.bak", "a-2026-12-09-2026-12-10.csv", "a-2026-12-9.csv"}) {
    EXPECT_FALSE(parseLogFileName("a", other, id)) << other;
  }
}

TEST(LogFileName, RetentionChoosesOnlyThisSectionsOldFiles) {
  // Random names of look-alike sections, dates around the limit, side files and other
  // files; each name's owner and date are known from how it was made.
  std::mt19937 random(3);
  const char* sections[] = {"a", "A", "a-b", "b", "a-2026", "a.1", "a b"};
  const LocalDate today{2026, 3, 1};
  for (int logDays : {0, 1, 30, 400}) {
    std::vector<std::string> names, expected;
    for (int i = 0; i < 3000; ++i) {
      const char* section = sections[random() % 7];
      const LocalDate day = dateOfDay(daysSinceEpoch(today) - int(random() % 800) + 10);
      std::string name = logFileName(section, day, random() % 3 == 0 ? 1 + random() % 20 : 0);
      if (random() % 5 == 0) name += random() % 2 ? ".tmp" : "x";
      const bool ours = (section[0] == 'a' || section[0] == 'A') && section[1] == '\0' && name.back() == 'v';
      if (ours && logDays > 0 && daysSinceEpoch(day) < daysSinceEpoch(today) - logDays) expected.push_back(name);
      names.push_back(name);
    }
    EXPECT_EQ(expiredLogFiles("a", names, today, logDays), expected) << logDays;
  }
  const std::vector<std::string> names = {"a-2026-02-27.csv", "a-2026-02-28.3.csv", "a-2026-03-01.csv",
                                          "a-b-2026-03-01.csv"};
  EXPECT_EQ(logFilesOfDays("a", names, {2026, 2, 28}, {2026, 3, 1}),
            std::vector<std::string>(names.begin() + 1, names.begin() + 3));
}

TEST(LogRotation, NewFileAtLocalMidnightThroughDaylightSavingChanges) {
  ScriptedClock clock;
  clock.changes = {{kSpringForward, 120}, {kFallBack, 60}};
  for (const std::int64_t change : {kSpringForward, kFallBack}) {
    // A row every minute for three days around the change: a new file at each local
    // midnight and nowhere else, and the written times keep their order.
    LogRotation rotation(clock);
    std::int64_t previousWritten = 0;
    int newDays = 0;
    for (std::int64_t t = change - 30 * kHourMs; t < change + 42 * kHourMs; t += 60000) {
      const LogRotation::Placement placement = rotation.place(t);
      std::string text;
      appendLocalTime(text, t, placement.offsetMinutes);
      const bool midnight = text.compare(11, 5, "00:00") == 0;
      EXPECT_TRUE(newDays == 0 || placement.newDay == midnight) << text;
      if (placement.newDay) ++newDays;
      EXPECT_EQ(placement.day, localDateAt(t, placement.offsetMinutes));
      std::int64_t written;
      ASSERT_TRUE(parseLocalTime(text, written));
      EXPECT_GT(written, previousWritten) << text;
      previousWritten = written;
    }
    EXPECT_EQ(newDays, 4);
  }

  // The first minute of the day after a 23-hour day: the day before reaches two days back.
  const LogRotation rotation(clock);
  LocalDate first, last;
  rotation.lastDayDates(kSpringForward + 21 * kHourMs + 60000, first, last);
  EXPECT_EQ(first, (LocalDate{2026, 3, 28}));
  EXPECT_EQ(last, (LocalDate{2026, 3, 30}));
}

}  // namespace
}  // namespace qrvl::history
