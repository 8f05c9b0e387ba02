// The log's files in a real folder: what is deleted and read at start, where rows go when
// the day's file is held, torn or a day old.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "CDailyLog.h"
#include "CFindFile.h"
#include "WinTestSupport.h"
#include "qrvl/history/LogReader.h"
#include "qrvl/history/LogRow.h"

namespace {

// 2026-12-09T12:00:00+09:00, in Tokyo.
constexpr std::int64_t kNoon = 1796785200000;
constexpr std::int64_t kHourMs = 3600 * 1000;

class TokyoClock : public qrvl::history::LocalClock {
public:
    std::int64_t nowUtcMs() const override { return kNoon; }
    int offsetMinutesAt(std::int64_t) const override { return 540; }
};

// A file of the test's log folder, in the Windows folder as the harness has it.
std::string In(const char* name) { return std::string("qrvl-daily-log\\") + name; }

// What an earlier run left in the folder goes first.
void EmptyFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    CFindFile search(::FindFirstFileA((folder + "*.*").c_str(), &found));
    for (bool more = search.IsValid(); more; more = ::FindNextFileA(search, &found)) {
        ::DeleteFileA((folder + found.cFileName).c_str());
    }
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(DailyLog, FilesInARealFolder) {
    const std::string folder = wintest::WindowsPath(In("").c_str());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    EmptyFolder(folder);
    ::RemoveDirectoryA(folder.c_str());
    const char* fields[6] = {"45.5", "41.0", "38.0", "1.25", "1.50", "3.31"};

    // At start: expired files of this section go, everything else stays; the last day of
    // the section's files, side files too, fills the ring. Today's file ends in a torn row.
    std::string yesterday = qrvl::history::logFileStart(), side, today = qrvl::history::logFileStart();
    qrvl::history::appendLogRow(yesterday, kNoon - 30 * kHourMs, 540, fields, "");
    qrvl::history::appendLogRow(yesterday, kNoon - 20 * kHourMs, 540, fields, "");
    qrvl::history::appendLogRow(side, kNoon - 19 * kHourMs, 540, nullptr, "no reading: time-out");
    qrvl::history::appendLogRow(today, kNoon - kHourMs, 540, fields, "");
    // The folder is made as the log opens; the files are put in before it looks.
    TokyoClock clock;
    qrvl::history::DayRing ring(64);
    CDailyLog log(clock);
    log.Open(folder.c_str(), "S", 30, ring);
    ASSERT_TRUE(Exists(folder));
    for (const char* name : {"S-2026-11-08.csv", "S-2026-11-08.1.csv", "S-b-2026-10-01.csv", "notes.txt"}) {
        wintest::WriteWindowsFile(In(name).c_str(), "x");
    }
    wintest::WriteWindowsFile(In("S-2026-12-08.csv").c_str(), yesterday);
    wintest::WriteWindowsFile(In("S-2026-12-08.2.csv").c_str(), side);
    wintest::WriteWindowsFile(In("S-2026-12-09.csv").c_str(), today + "2026-12-09T11:30:00+09:00,45");

    log.Open(folder.c_str(), "S", 30, ring);
    EXPECT_FALSE(Exists(folder + "S-2026-11-08.csv") || Exists(folder + "S-2026-11-08.1.csv"));
    EXPECT_TRUE(Exists(folder + "S-b-2026-10-01.csv") && Exists(folder + "notes.txt"));
    ASSERT_EQ(ring.size(), 3u);
    EXPECT_EQ(ring.at(1).utcMs, kNoon - 19 * kHourMs);
    EXPECT_TRUE(ring.at(1).values[0] != ring.at(1).values[0]);

    // A row after the torn one starts on a line of its own.
    EXPECT_TRUE(log.Append(kNoon, fields, "CPU above 45").bWritten);
    EXPECT_EQ(qrvl::history::readLogRows(wintest::ReadWindowsFile(In("S-2026-12-09.csv").c_str())).size(), 2u);

    // While another copy of the section holds the day's file, this one writes a side file.
    CDailyLog other(clock);
    other.Open(folder.c_str(), "S", 30, ring);
    EXPECT_EQ(other.Append(kNoon + 1000, fields, "").strSideFile, "S-2026-12-09.1.csv");
    EXPECT_EQ(qrvl::history::readLogRows(wintest::ReadWindowsFile(In("S-2026-12-09.1.csv").c_str())).size(), 1u);

    // Local midnight starts the next day's file with its header.
    EXPECT_TRUE(log.Append(kNoon + 12 * kHourMs, fields, "").bWritten);
    EXPECT_EQ(wintest::ReadWindowsFile(In("S-2026-12-10.csv").c_str()).find(qrvl::history::logFileStart()), 0u);
}

}  // namespace
