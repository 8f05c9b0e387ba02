#pragma once
#include <windows.h>

#include "CHandle.h"
#include "CMonitorSettings.h"
#include "CSamplingSink.h"
#include "QRVLPLUG.h"

// The sampling worker: polls the plug-in at the pace the settings give and reports each
// poll to its sink. The plug-in, the settings and the sink belong to its owner and must
// outlive it.
class CSamplingLoop {
public:
    // How long a poll's outcome stays on show before the sink hears of its end.
    static constexpr DWORD OUTCOME_MS = 300;

    // SocketTimer (ms), MonitorTimer and DelayTimer (seconds) are read when they are needed.
    CSamplingLoop(QRVLPLUG& plug, const CMonitorSettings& settings, CSamplingSink& sink);
    CSamplingLoop(const CSamplingLoop&) = delete;
    CSamplingLoop& operator=(const CSamplingLoop&) = delete;
    ~CSamplingLoop();

    // Starts the worker thread; FALSE when it could not be created.
    BOOL Start();
    // Asks the worker to stop and returns once it is gone, within milliseconds wherever it
    // stands. It cancels the plug-in, which stays cancelled until its next Create.
    void Stop();
    // The charts have their windows: the first poll may come once the start delay is over.
    void ChartsReady();
    HANDLE GetThreadHandle() const { return m_hThread; }
    DWORD GetThreadId() const { return m_dwThreadId; }
    // The record the last Get filled; read it only while the worker is stopped.
    const LMDATA& GetReading() const { return m_data; }

    // A pause in milliseconds from seconds: the 32-bit product, so -1 gives 4294966296.
    static DWORD PauseOf(int nSeconds);

private:
    static DWORD WINAPI SamplingThreadProc(LPVOID pParam);
    // One poll; false when a stop request ended it.
    bool PollSensors();
    // Waits, ending at once on a stop request; false when stopping.
    bool Pause(DWORD dwMilliseconds);

    QRVLPLUG& m_plug;
    const CMonitorSettings& m_settings;
    CSamplingSink& m_sink;
    // The record Get fills; only the worker touches it while it runs.
    LMDATA m_data{};

    // Manual-reset: once set, every later pause ends at once.
    CHandle m_hStop;
    // Manual-reset: set once the charts exist.
    CHandle m_hChartsReady;
    CHandle m_hThread;
    DWORD m_dwThreadId;
};
