#include "CLogWriter.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "CDailyLog.h"
#include "CString.h"
#include "CWindowsClock.h"
#include "ErrorText.h"
#include "MonitorMessages.h"
#include "TextCodec.h"
#include "qrvl/Channels.h"

namespace {

struct Row {
    std::int64_t nUtcMs;
    bool bReading;
    LMDATA data;
    std::string strNote;
};

// Rows waiting beyond this are dropped: a folder this far behind is not coming back soon.
constexpr std::size_t kMaxQueued = 10000;

template <class T>
void PostEvent(HWND hWnd, CLogWriter::Event event, T* pObject) {
    if (!::PostMessageA(hWnd, WM_LOGEVENT, event, reinterpret_cast<LPARAM>(pObject))) delete pObject;
}

}  // namespace

struct CLogWriter::Shared {
    HWND hWnd = nullptr;
    CString strFolder;
    CString strSection;
    int nLogDays = 0;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Row> rows;
    // From the start: reading the day back is work a stop waits for, or leaves behind.
    bool bBusy = true;
    bool bStop = false;
};

CLogWriter::CLogWriter() = default;

CLogWriter::~CLogWriter() { Stop(); }

void CLogWriter::Start(HWND hWnd, const char* pszFolder, const char* pszSection, int nLogDays) {
    m_shared = std::make_shared<Shared>();
    m_shared->hWnd = hWnd;
    m_shared->strFolder = pszFolder;
    m_shared->strSection = pszSection;
    m_shared->nLogDays = nLogDays;
    m_thread = std::thread(Run, m_shared);
}

void CLogWriter::Append(std::int64_t nUtcMs, const LMDATA* pData, std::string strNote) {
    if (!m_shared) return;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->rows.size() >= kMaxQueued) return;
        m_shared->rows.push_back({nUtcMs, pData != nullptr, pData ? *pData : LMDATA{}, std::move(strNote)});
    }
    m_shared->wake.notify_one();
}

void CLogWriter::Stop() {
    if (!m_thread.joinable()) return;
    bool bIdle;
    {
        std::unique_lock<std::mutex> lock(m_shared->mutex);
        m_shared->bStop = true;
        m_shared->wake.notify_one();
        bIdle = m_shared->idle.wait_for(lock, std::chrono::seconds(5),
                                        [&] { return m_shared->rows.empty() && !m_shared->bBusy; });
    }
    if (bIdle)
        m_thread.join();
    else
        m_thread.detach();
    m_shared.reset();
}

void CLogWriter::DiscardEvent(WPARAM wParam, LPARAM lParam) {
    if (wParam == EVENT_DAY_READ)
        TakeEvent<qrvl::history::DayRing>(lParam);
    else
        TakeEvent<CString>(lParam);
}

void CLogWriter::Run(std::shared_ptr<Shared> shared) {
    CWindowsClock clock;
    CDailyLog log(clock);
    {
        auto pDay = std::make_unique<qrvl::history::DayRing>();
        log.Open(shared->strFolder, shared->strSection, shared->nLogDays, *pDay);
        PostEvent(shared->hWnd, EVENT_DAY_READ, pDay.release());
    }
    bool bFailed = false;
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->bBusy = false;
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->bStop || !shared->rows.empty(); });
        if (shared->rows.empty()) break;
        Row row = std::move(shared->rows.front());
        shared->rows.pop_front();
        shared->bBusy = true;
        lock.unlock();

        const char* fields[qrvl::kChartCount];
        for (int c = 0; c < qrvl::kChartCount; ++c)
            fields[c] = qrvl::record::field(&row.data, c);
        const CDailyLog::Result result = log.Append(row.nUtcMs, row.bReading ? fields : nullptr, row.strNote);
        // One balloon for each side file, and one for a failure until the log writes again.
        if (!result.strSideFile.empty())
            PostEvent(shared->hWnd, EVENT_SIDE_FILE, new CString(AnsiFromUtf8(result.strSideFile.c_str()).c_str()));
        if (!result.bWritten && !bFailed) PostEvent(shared->hWnd, EVENT_FAILED, new CString(ErrorText(result.dwError)));
        bFailed = !result.bWritten;

        lock.lock();
        shared->bBusy = false;
        if (shared->rows.empty()) shared->idle.notify_all();
    }
    shared->idle.notify_all();
}
