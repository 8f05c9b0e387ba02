#pragma once
#include <windows.h>

#include "CHandle.h"
#include "CSamplingSink.h"
#include "QRVLPLUG.h"

// The sampling worker: polls the plug-in at the pace it was started with and reports each
// poll to its sink. The plug-in and the sink belong to its owner and must outlive it.
class CSamplingLoop {
public:
    // How long a poll's outcome stays on show before the sink hears of its end.
    static constexpr DWORD OUTCOME_MS = 300;

    // The pace of the polls, as the settings give it. The worker keeps its own copy, so the
    // window's thread may change its settings while the worker runs.
    struct Timings {
        int nSocketTimer;   // ms, the time-out of each Get
        int nMonitorTimer;  // seconds between a poll's outcome and the next poll
        int nDelayTimer;    // seconds before the first poll
    };

    CSamplingLoop(QRVLPLUG& plug, CSamplingSink& sink);
    CSamplingLoop(const CSamplingLoop&) = delete;
    CSamplingLoop& operator=(const CSamplingLoop&) = delete;
    ~CSamplingLoop();

    // Starts the worker thread with these timings; FALSE when it could not be created. A
    // worker already running keeps its own.
    BOOL Start(const Timings& timings);
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
    CSamplingSink& m_sink;
    // Written before the worker starts, only read by it.
    Timings m_timings{};
    // The record Get fills; only the worker touches it while it runs.
    LMDATA m_data{};

    // Manual-reset: once set, every later pause ends at once.
    CHandle m_hStop;
    // Manual-reset: set once the charts exist.
    CHandle m_hChartsReady;
    CHandle m_hThread;
    DWORD m_dwThreadId;
};
