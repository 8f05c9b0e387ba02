#include "CWindowsClock.h"

#include <windows.h>

namespace {

// 100-nanosecond ticks from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochTicks = 116444736000000000;

std::int64_t TicksOf(const FILETIME& ft) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME FileTimeOf(std::int64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
    return ft;
}

}  // namespace

std::int64_t CWindowsClock::nowUtcMs() const {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return (TicksOf(ft) - kEpochTicks) / 10000;
}

int CWindowsClock::offsetMinutesAt(std::int64_t utcMs) const {
    const std::int64_t ticks = utcMs * 10000 + kEpochTicks;
    const FILETIME ftUtc = FileTimeOf(ticks);
    SYSTEMTIME stUtc, stLocal;
    FILETIME ftLocal;
    if (!::FileTimeToSystemTime(&ftUtc, &stUtc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &stUtc, &stLocal) ||
        !::SystemTimeToFileTime(&stLocal, &ftLocal)) {
        return 0;
    }
    return static_cast<int>((TicksOf(ftLocal) - ticks) / (60 * 10000000LL));
}
