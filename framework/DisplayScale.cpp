#include "DisplayScale.h"

namespace displayscale {

namespace {

template <typename Function>
Function Lookup(const char* pszModule, const char* pszName) {
    HMODULE hModule = ::GetModuleHandleA(pszModule);
    if (!hModule) hModule = ::LoadLibraryA(pszModule);
    return hModule ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(hModule, pszName))) : nullptr;
}

UINT SystemDpi() {
    HDC hdc = ::GetDC(nullptr);
    const int nDpi = hdc ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 0;
    if (hdc) ::ReleaseDC(nullptr, hdc);
    return nDpi > 0 ? static_cast<UINT>(nDpi) : kBaseDpi;
}

}  // namespace

RECT ScaleRect(const RECT& rc, UINT nFromDpi, UINT nToDpi) {
    auto scale = [=](LONG n) {
        return static_cast<LONG>(::MulDiv(n, static_cast<int>(nToDpi), static_cast<int>(nFromDpi)));
    };
    return {scale(rc.left), scale(rc.top), scale(rc.right), scale(rc.bottom)};
}

UINT DpiOfWindow(HWND hWnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto pGetDpiForWindow = Lookup<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
    const UINT nDpi = pGetDpiForWindow ? pGetDpiForWindow(hWnd) : 0;
    return nDpi ? nDpi : SystemDpi();
}

UINT DpiOfRect(const RECT& rc) {
    // MDT_EFFECTIVE_DPI (0): the DPI the user chose for the monitor.
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto pGetDpiForMonitor = Lookup<GetDpiForMonitorFn>("shcore.dll", "GetDpiForMonitor");
    UINT nDpiX = 0, nDpiY = 0;
    if (pGetDpiForMonitor &&
        SUCCEEDED(pGetDpiForMonitor(::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), 0, &nDpiX, &nDpiY)) && nDpiY)
        return nDpiY;
    return SystemDpi();
}

int SystemMetric(int nIndex, UINT nDpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto pGetSystemMetricsForDpi =
        Lookup<GetSystemMetricsForDpiFn>("user32.dll", "GetSystemMetricsForDpi");
    if (pGetSystemMetricsForDpi) return pGetSystemMetricsForDpi(nIndex, nDpi);
    return ::MulDiv(::GetSystemMetrics(nIndex), static_cast<int>(nDpi), static_cast<int>(SystemDpi()));
}

}  // namespace displayscale
