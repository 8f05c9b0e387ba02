#include "SamplingOwner.h"

#include <algorithm>
#include <cstring>

#include "resource.h"

namespace {
constexpr UINT WM_TRAYNOTIFY = 0x8097;
}

SamplingOwner::SamplingOwner(bool bChartsReady)
    : loop(plug, data, nSocketTimer, nMonitorTimer, nDelayTimer,
           {&charts[0], &charts[1], &charts[2], &charts[3], &charts[4], &charts[5]}, trayIcon, nErrorCounter) {
    if (bChartsReady) loop.ChartsReady();
    CString cls = AfxRegisterWndClass(0);
    wnd.CreateEx(0, cls, "sampling owner", WS_POPUP, 600, 600, 20, 20, nullptr, nullptr);
}

SamplingOwner::~SamplingOwner() {
    Shutdown();
    wnd.DestroyWindow();
}

void SamplingOwner::PrepareIcon() {
    TrayIconInit init = {GetModuleHandleA(nullptr), wnd, 0};
    trayIcon.Create(init, 3);
    trayIcon.SetCallbackMessage(WM_TRAYNOTIFY);
    trayIcon.SetTip("QUORVEL GRAPH - localhost");
    trayIcon.AddIcon(IDI_TRAY_IDLE);
    trayIcon.AddIcon(IDI_TRAY_RECEIVED);
    trayIcon.AddIcon(IDI_TRAY_ERROR);
}

void SamplingOwner::Shutdown() {
    loop.Stop();
    plug.Destroy();
    trayIcon.Delete();
    trayIcon.Destroy();
}

double SamplingOwner::LastValue(int nChart) {
    // An append returns the value appended before it.
    return charts[nChart].AppendValue(0.0);
}

LMDATA MakeReading(const std::vector<std::string>& fields) {
    LMDATA data = {};
    char* p = reinterpret_cast<char*>(&data);
    for (size_t i = 0; i < fields.size(); ++i) std::memcpy(p + 8 * i, fields[i].data(), std::min<size_t>(fields[i].size(), 8));
    return data;
}

double MeasureMs(const std::function<void()>& call) {
    LARGE_INTEGER t0, t1, f;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    call();
    QueryPerformanceCounter(&t1);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}
