#include "CDailyLog.h"

#include <shlobj.h>

#include <algorithm>

#include "CFindFile.h"
#include "TextCodec.h"
#include "qrvl/history/LogFileName.h"
#include "qrvl/history/LogReader.h"
#include "qrvl/history/LogRow.h"

namespace history = qrvl::history;

namespace {

// A day at one poll a second is about 5 MB; a file past this is not read further.
constexpr DWORD kMaxReadBytes = 64 << 20;
// Side files tried before the row is given up.
constexpr int kMaxSideFiles = 100;

std::string ReadWhole(const std::wstring& path) {
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !::GetFileSizeEx(file, &size)) return std::string();
    std::string text(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, kMaxReadBytes)), '\0');
    DWORD read = 0;
    if (!text.empty() && !::ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr)) read = 0;
    text.resize(read);
    return text;
}

bool WriteAll(HANDLE file, std::string_view text) {
    DWORD written = 0;
    return text.empty() || (::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                            written == text.size());
}

}  // namespace

CDailyLog::CDailyLog(const history::LocalClock& clock) : m_clock(clock), m_rotation(clock) {}

void CDailyLog::Open(const char* pszFolder, const char* pszSection, int nLogDays, history::DayRing& ring) {
    m_strFolder = WideOf(pszFolder, CP_ACP);
    // The shell creates the parents too, from a full path only.
    wchar_t szFull[MAX_PATH];
    const DWORD nFull = ::GetFullPathNameW(m_strFolder.c_str(), MAX_PATH, szFull, nullptr);
    if (nFull > 0 && nFull < MAX_PATH && ::GetFileAttributesW(szFull) == INVALID_FILE_ATTRIBUTES)
        ::SHCreateDirectoryExW(nullptr, szFull, nullptr);
    if (!m_strFolder.empty() && m_strFolder.back() != L'\\' && m_strFolder.back() != L'/') m_strFolder += L'\\';
    m_strSection = Utf8FromAnsi(pszSection);
    m_nLogDays = nLogDays;

    const std::int64_t now = m_clock.nowUtcMs();
    const std::vector<std::string> names = ListFolder();
    DeleteExpired(history::localDateAt(now, m_clock.offsetMinutesAt(now)));

    history::LocalDate first, last;
    m_rotation.lastDayDates(now, first, last);
    std::vector<history::Sample> samples;
    for (const std::string& name : history::logFilesOfDays(m_strSection, names, first, last)) {
        const std::vector<history::Sample> rows = history::readLogRows(ReadWhole(PathOf(name)));
        samples.insert(samples.end(), rows.begin(), rows.end());
    }
    history::fillDay(std::move(samples), now, ring);
}

CDailyLog::Result CDailyLog::Append(std::int64_t nUtcMs, const char* const* pFields, std::string_view note) {
    Result result = {false, ERROR_SUCCESS, std::string()};
    const history::LogRotation::Placement placement = m_rotation.place(nUtcMs);
    if (placement.newDay) DeleteExpired(placement.day);
    // A folder that failed is not tried again before the next day, so a lost network
    // folder does not hold up every row.
    if (m_bFailed && placement.day == m_failedDay) {
        result.dwError = ERROR_NOT_READY;
        return result;
    }
    m_bFailed = false;
    if (!m_hFile.IsValid() || placement.day != m_fileDay) {
        m_hFile.Release();
        result.dwError = OpenDayFile(placement.day, result.strSideFile);
    }
    if (result.dwError == ERROR_SUCCESS) {
        std::string row;
        history::appendLogRow(row, nUtcMs, placement.offsetMinutes, pFields, note);
        result.bWritten = WriteAll(m_hFile, row);
        if (!result.bWritten) result.dwError = ::GetLastError();
    }
    if (!result.bWritten) {
        if (result.dwError == ERROR_SUCCESS) result.dwError = ERROR_WRITE_FAULT;
        m_hFile.Release();
        m_bFailed = true;
        m_failedDay = placement.day;
    }
    return result;
}

std::vector<std::string> CDailyLog::ListFolder() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    CFindFile search(::FindFirstFileW((m_strFolder + L"*").c_str(), &found));
    if (!search.IsValid()) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(NarrowOf(found.cFileName, CP_UTF8));
    } while (::FindNextFileW(search, &found));
    return names;
}

void CDailyLog::DeleteExpired(const history::LocalDate& today) {
    for (const std::string& name : history::expiredLogFiles(m_strSection, ListFolder(), today, m_nLogDays)) {
        ::DeleteFileW(PathOf(name).c_str());
    }
}

DWORD CDailyLog::OpenDayFile(const history::LocalDate& day, std::string& strSideFile) {
    DWORD dwError = ERROR_SHARING_VIOLATION;
    for (int side = 0; side < kMaxSideFiles; ++side) {
        // Others may read the file while it is written, not write it.
        const std::string strName = history::logFileName(m_strSection, day, side);
        CHandle file(::CreateFileW(PathOf(strName).c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            dwError = ::GetLastError();
            if (dwError == ERROR_SHARING_VIOLATION) continue;
            return dwError;
        }
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(file, &size)) return ::GetLastError();
        char end[2] = {};
        DWORD read = 0;
        if (size.QuadPart >= 2) {
            LARGE_INTEGER at;
            at.QuadPart = size.QuadPart - 2;
            if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !::ReadFile(file, end, 2, &read, nullptr)) {
                return ::GetLastError();
            }
        }
        if (!WriteAll(file, history::textBeforeAppend(size.QuadPart, std::string_view(end, read))))
            return ::GetLastError();
        m_hFile = std::move(file);
        m_fileDay = day;
        if (side > 0) strSideFile = strName;
        return ERROR_SUCCESS;
    }
    return dwError;
}

std::wstring CDailyLog::PathOf(const std::string& strName) const {
    return m_strFolder + WideOf(strName.c_str(), CP_UTF8);
}
