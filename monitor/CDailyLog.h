#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CHandle.h"
#include "qrvl/history/DayRing.h"
#include "qrvl/history/LocalClock.h"
#include "qrvl/history/LogRotation.h"

// The CSV log of one copy in its log folder: a file per local day, each row handed to the
// system whole in one write, so a copy that is killed loses no row it finished; a row torn
// by a power cut is skipped when the file is read back. While someone else holds the day's
// file (a spreadsheet that locks it), rows go to a side file.
class CDailyLog {
public:
    explicit CDailyLog(const qrvl::history::LocalClock& clock);

    // Folder and section as the profile holds them (the ANSI code page); nLogDays as
    // LogDays. Creates the folder when it is missing, deletes this section's expired files
    // and fills the ring with the last day of its files.
    void Open(const char* pszFolder, const char* pszSection, int nLogDays, qrvl::history::DayRing& ring);

    struct Result {
        bool bWritten;
        // Why the row was not written. After a failure the log rests until the next day.
        DWORD dwError;
        // Set when this row opened a side file because someone else holds the day's file.
        std::string strSideFile;
    };
    // One poll: pFields are the reading's six text fields, null for a failed poll. A row of
    // a new local day goes to that day's file, and the expired files are chosen again.
    Result Append(std::int64_t nUtcMs, const char* const* pFields, std::string_view note);

private:
    std::vector<std::string> ListFolder() const;
    void DeleteExpired(const qrvl::history::LocalDate& today);
    // The error of the last try when no file could be opened.
    DWORD OpenDayFile(const qrvl::history::LocalDate& day, std::string& strSideFile);
    std::wstring PathOf(const std::string& strName) const;

    const qrvl::history::LocalClock& m_clock;
    qrvl::history::LogRotation m_rotation;
    std::wstring m_strFolder;
    // UTF-8, as the file names are made.
    std::string m_strSection;
    int m_nLogDays = 30;
    CHandle m_hFile;
    qrvl::history::LocalDate m_fileDay{};
    // The day of the last failure: no file is tried again before the next one.
    bool m_bFailed = false;
    qrvl::history::LocalDate m_failedDay{};
};
