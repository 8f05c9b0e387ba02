#include "ReachableRect.h"

#include <algorithm>
#include <climits>

namespace {

BOOL CALLBACK FindWorkAreaMet(HMONITOR hMonitor, HDC, LPRECT, LPARAM lParam) {
    auto* pRect = reinterpret_cast<RECT*>(lParam);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT rcCommon;
    if (::GetMonitorInfoA(hMonitor, &info) && ::IntersectRect(&rcCommon, pRect, &info.rcWork)) {
        ::SetRectEmpty(pRect);
        return FALSE;
    }
    return TRUE;
}

bool MeetsAWorkArea(const RECT& rc) {
    RECT rcProbe = rc;
    ::EnumDisplayMonitors(nullptr, nullptr, FindWorkAreaMet, reinterpret_cast<LPARAM>(&rcProbe));
    return ::IsRectEmpty(&rcProbe) != FALSE;
}

// Edges read from a file can be anything: the arithmetic is done wide and cut back to LONG.
LONG Clamp(long long nValue, long long nLow, long long nHigh) {
    return static_cast<LONG>(std::max(nLow, std::min(nValue, nHigh)));
}

}  // namespace

RECT SizedRect(const RECT& rcSaved, SIZE szDefault) {
    RECT rc = rcSaved;
    if (rc.right <= rc.left || rc.bottom <= rc.top) {
        // A place so near the largest edge that the size would not fit moves back: a size
        // cut to nothing would leave the window off every screen.
        rc.left = Clamp(rc.left, LONG_MIN, LONG_MAX - static_cast<long long>(szDefault.cx));
        rc.top = Clamp(rc.top, LONG_MIN, LONG_MAX - static_cast<long long>(szDefault.cy));
        rc.right = Clamp(static_cast<long long>(rc.left) + szDefault.cx, LONG_MIN, LONG_MAX);
        rc.bottom = Clamp(static_cast<long long>(rc.top) + szDefault.cy, LONG_MIN, LONG_MAX);
    }
    return rc;
}

RECT PlacedInWorkArea(const RECT& rc, const RECT& work) {
    const long long nWidth = std::min<long long>(static_cast<long long>(rc.right) - rc.left, work.right - work.left);
    const long long nHeight = std::min<long long>(static_cast<long long>(rc.bottom) - rc.top, work.bottom - work.top);
    RECT rcPlaced;
    rcPlaced.left = Clamp(rc.left, work.left, work.right - nWidth);
    rcPlaced.top = Clamp(rc.top, work.top, work.bottom - nHeight);
    rcPlaced.right = static_cast<LONG>(rcPlaced.left + nWidth);
    rcPlaced.bottom = static_cast<LONG>(rcPlaced.top + nHeight);
    return rcPlaced;
}

RECT ReachableRect(const RECT& rcSaved, SIZE szDefault) {
    const RECT rc = SizedRect(rcSaved, szDefault);
    if (MeetsAWorkArea(rc)) return rc;

    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoA(::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &info)) return rc;
    return PlacedInWorkArea(rc, info.rcWork);
}
