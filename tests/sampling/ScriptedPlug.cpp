#include "ScriptedPlug.h"

#include <vector>

namespace {

struct Script {
    CRITICAL_SECTION lock;
    HANDLE hCancel;
    LARGE_INTEGER start;
    std::vector<scripted::Step> steps;
    std::vector<scripted::GetCall> calls;
    int nCancels = 0;
    int nRunning = 0;
    int nOutOfOrder = 0;
    bool bDestroyed = false;

    Script() : hCancel(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        InitializeCriticalSection(&lock);
        QueryPerformanceCounter(&start);
    }
};

Script& TheScript() {
    static Script s_script;
    return s_script;
}

class Locked {
public:
    Locked() : m_script(TheScript()) { EnterCriticalSection(&m_script.lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    ~Locked() { LeaveCriticalSection(&m_script.lock); }
    Script* operator->() { return &m_script; }

private:
    Script& m_script;
};

}  // namespace

namespace scripted {

void SetScript(const Step* steps, int count) {
    Locked s;
    s->steps.assign(steps, steps + count);
    s->calls.clear();
    s->nCancels = 0;
    s->nOutOfOrder = 0;
    s->bDestroyed = false;
    ResetEvent(s->hCancel);
    QueryPerformanceCounter(&s->start);
}

double NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    Locked s;
    return static_cast<double>(now.QuadPart - s->start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int GetCallCount() {
    Locked s;
    return static_cast<int>(s->calls.size());
}

GetCall GetCallAt(int index) {
    Locked s;
    return s->calls.at(static_cast<size_t>(index));
}

int CancelCount() {
    Locked s;
    return s->nCancels;
}

int OutOfOrderCalls() {
    Locked s;
    return s->nOutOfOrder;
}

}  // namespace scripted

QRVLPLUG::QRVLPLUG() : sock() {
    libStarted = 0;
    lastError = 0;
    lastFailure[0] = '\0';
}

QRVLPLUG::~QRVLPLUG() = default;

int QRVLPLUG::Create(const char*) { return 1; }

int QRVLPLUG::Get(LMDATA& data, unsigned timeout) {
    const double startMs = scripted::NowMs();
    scripted::Step step = {scripted::Answer::Failure, {}};
    size_t index;
    {
        Locked s;
        index = s->calls.size();
        if (!s->steps.empty()) step = s->steps[index < s->steps.size() ? index : s->steps.size() - 1];
        if (s->bDestroyed) ++s->nOutOfOrder;
        ++s->nRunning;
        s->calls.push_back({startMs, -1.0, timeout, 0});
    }
    HANDLE hCancel = TheScript().hCancel;
    int result = 0;
    // Once cancelled, every Get fails at once.
    if (WaitForSingleObject(hCancel, 0) == WAIT_TIMEOUT) {
        if (step.answer == scripted::Answer::Reading) {
            data = step.data;
            result = 1;
        } else if (step.answer == scripted::Answer::Hang) {
            WaitForSingleObject(hCancel, timeout);
        }
    }
    const double endMs = scripted::NowMs();
    Locked s;
    s->calls[index] = {startMs, endMs, timeout, result};
    --s->nRunning;
    return result;
}

void QRVLPLUG::Destroy() {
    Locked s;
    if (s->nRunning > 0) ++s->nOutOfOrder;
    s->bDestroyed = true;
}

// As the real library words a time-out.
const char* QRVLPLUG::LastFailure() const { return "no answer within the time-out"; }

void QRVLPLUG::Cancel() {
    Locked s;
    ++s->nCancels;
    SetEvent(s->hCancel);
}
