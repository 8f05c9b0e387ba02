#include "CSamplingLoop.h"

#include <cstdlib>
#include <cstring>
#include <limits>

CSamplingLoop::CSamplingLoop(QRVLPLUG& plug, LMDATA& data, const int& nSocketTimer, const int& nMonitorTimer,
                             const int& nDelayTimer, const std::array<CStripChart*, CHANNELS>& charts,
                             CTrayIcon& trayIcon, std::atomic<int>& nErrorCounter)
    : m_plug(plug),
      m_data(data),
      m_nSocketTimer(nSocketTimer),
      m_nMonitorTimer(nMonitorTimer),
      m_nDelayTimer(nDelayTimer),
      m_charts(charts),
      m_trayIcon(trayIcon),
      m_nErrorCounter(nErrorCounter),
      m_hStop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_hChartsReady(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_hThread(nullptr),
      m_dwThreadId(0) {}

CSamplingLoop::~CSamplingLoop() {
    Stop();
    if (m_hStop != nullptr) CloseHandle(m_hStop);
    if (m_hChartsReady != nullptr) CloseHandle(m_hChartsReady);
}

BOOL CSamplingLoop::Start() {
    if (m_hThread != nullptr) return TRUE;
    // Without the stop request the worker could never be stopped.
    if (m_hStop == nullptr || m_hChartsReady == nullptr || !ResetEvent(m_hStop)) return FALSE;
    m_hThread = CreateThread(nullptr, 0, SamplingThreadProc, this, 0, &m_dwThreadId);
    if (m_hThread == nullptr) m_dwThreadId = 0;
    return m_hThread != nullptr;
}

void CSamplingLoop::Stop() {
    if (m_hThread == nullptr) return;
    SetEvent(m_hStop);
    // Ends a Get that waits for the host; the pauses see the event.
    m_plug.Cancel();
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_dwThreadId = 0;
}

DWORD CSamplingLoop::PauseOf(int nSeconds) {
    // Unsigned arithmetic wraps where the signed product would overflow. An even product
    // never equals INFINITE (0xFFFFFFFF), so every pause ends.
    return static_cast<DWORD>(static_cast<unsigned>(nSeconds) * 1000u);
}

void CSamplingLoop::ChartsReady() { SetEvent(m_hChartsReady); }

DWORD WINAPI CSamplingLoop::SamplingThreadProc(LPVOID pParam) {
    CSamplingLoop* pLoop = static_cast<CSamplingLoop*>(pParam);
    if (!pLoop->Pause(PauseOf(pLoop->m_nDelayTimer))) return 0;
    // The charts get their windows on the window's thread after the worker has started; no
    // value may reach them before.
    const HANDLE waits[] = {pLoop->m_hStop, pLoop->m_hChartsReady};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
    for (;;) {
        if (!pLoop->PollSensors()) return 0;
        // Read anew for every pause.
        if (!pLoop->Pause(PauseOf(pLoop->m_nMonitorTimer))) return 0;
    }
}

bool CSamplingLoop::PollSensors() {
    const int nResult = m_plug.Get(m_data, static_cast<unsigned>(m_nSocketTimer));
    // A Get cut short by the stop request is no failed poll.
    if (WaitForSingleObject(m_hStop, 0) != WAIT_TIMEOUT) return false;
    if (nResult != 0) {
        m_trayIcon.Modify(SLOT_RECEIVED);
        for (int i = 0; i < CHANNELS; ++i) m_charts[i]->AppendValue(FieldValue(m_data, i));
    } else {
        m_trayIcon.Modify(SLOT_FAILED);
        ++m_nErrorCounter;
    }
    if (!Pause(OUTCOME_MS)) return false;
    m_trayIcon.Modify(SLOT_IDLE);
    return true;
}

bool CSamplingLoop::Pause(DWORD dwMilliseconds) {
    return WaitForSingleObject(m_hStop, dwMilliseconds) == WAIT_TIMEOUT;
}

double CSamplingLoop::FieldValue(const LMDATA& data, int nField) {
    // The field need not end in a NUL within its 8 bytes; the conversion must not run on
    // into the next one.
    char text[9];
    std::memcpy(text, reinterpret_cast<const char*>(&data) + 8 * nField, 8);
    text[8] = '\0';
    // An empty field is a channel without a value: a gap, never a measured 0.
    if (text[0] == '\0') return std::numeric_limits<double>::quiet_NaN();
    return std::atof(text);
}
