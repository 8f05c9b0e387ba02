#include "CSamplingLoop.h"

CSamplingLoop::CSamplingLoop(QRVLPLUG& plug, CSamplingSink& sink)
    : m_plug(plug),
      m_sink(sink),
      m_hStop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_hChartsReady(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_dwThreadId(0) {}

CSamplingLoop::~CSamplingLoop() { Stop(); }

BOOL CSamplingLoop::Start(const Timings& timings) {
    if (m_hThread.IsValid()) return TRUE;
    // Without the stop request the worker could never be stopped.
    if (!m_hStop.IsValid() || !m_hChartsReady.IsValid() || !ResetEvent(m_hStop)) return FALSE;
    m_timings = timings;
    m_hThread = CHandle(CreateThread(nullptr, 0, SamplingThreadProc, this, 0, &m_dwThreadId));
    if (!m_hThread.IsValid()) m_dwThreadId = 0;
    return m_hThread.IsValid();
}

void CSamplingLoop::Stop() {
    if (!m_hThread.IsValid()) return;
    SetEvent(m_hStop);
    // Ends a Get that waits for the host; the pauses see the event.
    m_plug.Cancel();
    WaitForSingleObject(m_hThread, INFINITE);
    m_hThread.Release();
    m_dwThreadId = 0;
}

void CSamplingLoop::ChartsReady() { SetEvent(m_hChartsReady); }

DWORD CSamplingLoop::PauseOf(int nSeconds) {
    // Unsigned arithmetic wraps where the signed product would overflow. An even product
    // never equals INFINITE (0xFFFFFFFF), so every pause ends.
    return static_cast<DWORD>(static_cast<unsigned>(nSeconds) * 1000u);
}

DWORD WINAPI CSamplingLoop::SamplingThreadProc(LPVOID pParam) {
    CSamplingLoop* pLoop = static_cast<CSamplingLoop*>(pParam);
    if (!pLoop->Pause(PauseOf(pLoop->m_timings.nDelayTimer))) return 0;
    // The charts get their windows on the window's thread after the worker has started; no
    // value may reach them before.
    const HANDLE waits[] = {pLoop->m_hStop, pLoop->m_hChartsReady};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
    for (;;) {
        if (!pLoop->PollSensors()) return 0;
        if (!pLoop->Pause(PauseOf(pLoop->m_timings.nMonitorTimer))) return 0;
    }
}

bool CSamplingLoop::PollSensors() {
    const int nResult = m_plug.Get(m_data, static_cast<unsigned>(m_timings.nSocketTimer));
    // A Get cut short by the stop request is no failed poll.
    if (WaitForSingleObject(m_hStop, 0) != WAIT_TIMEOUT) return false;
    if (nResult != 0)
        m_sink.OnReading(m_data);
    else
        m_sink.OnFailure(m_plug.LastFailure());
    if (!Pause(OUTCOME_MS)) return false;
    m_sink.OnOutcomeShown();
    return true;
}

bool CSamplingLoop::Pause(DWORD dwMilliseconds) {
    return WaitForSingleObject(m_hStop, dwMilliseconds) == WAIT_TIMEOUT;
}
