#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "CSamplingLoop.h"
#include "CStripChart.h"
#include "CTrayIcon.h"
#include "Framework.h"
#include "QRVLPLUG.h"

// The monitor window's part in sampling: the members the worker uses, the icon's set-up and
// the shutdown order (worker gone, then the plug-in's Destroy, then the icon's removal).
class SamplingOwner {
public:
    // The monitor window tells the worker when its charts exist; an owner without windows
    // tells it at once unless a test is to do it.
    explicit SamplingOwner(bool bChartsReady = true);
    SamplingOwner(const SamplingOwner&) = delete;
    SamplingOwner& operator=(const SamplingOwner&) = delete;
    ~SamplingOwner();

    // Create, callback message, tip and the three images; not shown yet.
    void PrepareIcon();
    void Shutdown();
    // The last value the worker appended to a chart (call once the worker is gone).
    double LastValue(int nChart);

    CWnd wnd;
    QRVLPLUG plug;
    LMDATA data = {};
    int nSocketTimer = 2000;
    int nMonitorTimer = 1;
    int nDelayTimer = 0;
    CStripChart charts[CSamplingLoop::CHANNELS];
    CTrayIcon trayIcon;
    std::atomic<int> nErrorCounter{0};
    CSamplingLoop loop;
};

// A reading whose text fields hold these bytes, at most 8 each (8 leave no NUL).
LMDATA MakeReading(const std::vector<std::string>& fields);
// Milliseconds that a call took, measured on the performance counter.
double MeasureMs(const std::function<void()>& call);
