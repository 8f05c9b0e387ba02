#pragma once
#include <windows.h>

#include <array>
#include <atomic>

#include "CStripChart.h"
#include "CTrayIcon.h"
#include "QRVLPLUG.h"

// The sampling worker: polls the plug-in at the configured pace, feeds the six charts,
// shows each poll's outcome on the tray icon and counts failed polls. Everything it uses
// belongs to its owner, the monitor window, and must outlive it.
class CSamplingLoop {
public:
    // The tray icon's image slots, as the monitor window loads them.
    enum { SLOT_IDLE = 0, SLOT_RECEIVED = 1, SLOT_FAILED = 2 };
    // Text field i of the reading feeds chart i.
    static constexpr int CHANNELS = 6;
    // How long a poll's outcome image stays before the idle one returns.
    static constexpr DWORD OUTCOME_MS = 300;

    // The timers are read when they are needed (SocketTimer in ms, the others in seconds).
    CSamplingLoop(QRVLPLUG& plug, LMDATA& data, const int& nSocketTimer, const int& nMonitorTimer,
                  const int& nDelayTimer, const std::array<CStripChart*, CHANNELS>& charts, CTrayIcon& trayIcon,
                  std::atomic<int>& nErrorCounter);
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

    // A pause in milliseconds from seconds: the 32-bit product, so -1 gives 4294966296.
    static DWORD PauseOf(int nSeconds);

private:
    static DWORD WINAPI SamplingThreadProc(LPVOID pParam);
    // One poll; false when a stop request ended it.
    bool PollSensors();
    // Waits, ending at once on a stop request; false when stopping.
    bool Pause(DWORD dwMilliseconds);
    static double FieldValue(const LMDATA& data, int nField);

    QRVLPLUG& m_plug;
    LMDATA& m_data;
    const int& m_nSocketTimer;
    const int& m_nMonitorTimer;
    const int& m_nDelayTimer;
    const std::array<CStripChart*, CHANNELS> m_charts;
    CTrayIcon& m_trayIcon;
    std::atomic<int>& m_nErrorCounter;

    // Manual-reset: once set, every later pause ends at once.
    HANDLE m_hStop;
    // Manual-reset: set once the charts exist.
    HANDLE m_hChartsReady;
    HANDLE m_hThread;
    DWORD m_dwThreadId;
};
