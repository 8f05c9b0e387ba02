#include "RunRig.h"

#include "WinTestSupport.h"

#include <algorithm>
#include <cstring>

BEGIN_MESSAGE_MAP(RigWnd, CWnd)
    ON_MESSAGE(WM_SAMPLED, OnSampled)
END_MESSAGE_MAP()

LRESULT RigWnd::OnSampled(WPARAM wParam, LPARAM lParam) {
    pRun->OnSampled(wParam, lParam);
    return 0;
}

RunRig::RunRig(const std::string& host) : run(settings) {
    wnd.pRun = &run;
    settings.m_strHostName = host.c_str();
    settings.m_nSocketTimer = 2000;
    settings.m_nMonitorTimer = 1;
    settings.m_nDelayTimer = 0;
    wnd.CreateEx(0, AfxRegisterWndClass(0), "run rig", WS_POPUP, 600, 600, 20, 20, nullptr, nullptr);
}

RunRig::~RunRig() {
    run.Stop();
    wnd.DestroyWindow();
}

bool RunRig::Start() {
    if (!StartHeld()) return false;
    run.ChartsReady();
    return true;
}

bool RunRig::StartHeld() {
    if (run.Start(wnd) != nullptr) return false;
    run.ShowIcon();
    return true;
}

double RunRig::LastValue(int nChannel) {
    // An append returns the value appended before it.
    return run.Chart(nChannel).AppendValue(0.0);
}

LMDATA MakeReading(const std::vector<std::string>& fields) {
    LMDATA data = {};
    char* p = reinterpret_cast<char*>(&data);
    for (size_t i = 0; i < fields.size(); ++i) std::memcpy(p + 8 * i, fields[i].data(), std::min<size_t>(fields[i].size(), 8));
    return data;
}

bool SeesIdle(IconWatcher& watcher) {
    wintest::PumpUntil([&] { return watcher.Count("red") != 0; }, 2000);
    return watcher.Count("red") == 1;
}
