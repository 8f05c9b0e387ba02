#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CMonitorRun.h"
#include "CMonitorSettings.h"
#include "Framework.h"
#include "IconWatcher.h"

// The window that owns the tray icon and, as the monitor window does, hands the worker's
// outcomes to the run.
class RigWnd : public CWnd {
public:
    CMonitorRun* pRun = nullptr;
    LRESULT OnSampled(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};

// The monitor's run as the program has it, without the monitor window: a window to own the
// tray icon, the settings the worker reads, and the run, started and stopped by its own order.
// The worker's outcomes reach the charts and the icon while this thread pumps its messages.
struct RunRig {
    // Timers for quick tests: SocketTimer 2000 ms, MonitorTimer 1 s, no start delay.
    explicit RunRig(const std::string& host = "localhost");
    RunRig(const RunRig&) = delete;
    RunRig& operator=(const RunRig&) = delete;
    ~RunRig();

    // Start, the icon shown, the first poll let go; false when the start failed.
    bool Start();
    // Start with the icon shown, the first poll held back until run.ChartsReady.
    bool StartHeld();
    // The last value the worker appended to a chart (call once the worker is gone).
    double LastValue(int nChannel);

    RigWnd wnd;
    CMonitorSettings settings;
    CMonitorRun run;
};

// A reading whose text fields hold these bytes, at most 8 each (8 leave no NUL).
LMDATA MakeReading(const std::vector<std::string>& fields);
// Waits until the watcher has seen the idle (red) icon, before the first poll is let go.
bool SeesIdle(IconWatcher& watcher);
