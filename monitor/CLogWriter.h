#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "QRVLPLUG.h"

// Writes the log on a thread of its own, so that a slow or lost folder never holds up the
// window: rows queue here and are written in order. What the window must hear of comes
// back as WM_LOGEVENT.
class CLogWriter {
public:
    // wParam of WM_LOGEVENT; lParam is on the heap, and TakeEvent frees it.
    enum Event {
        EVENT_DAY_READ = 1,   // a qrvl::history::DayRing: the last day of the files, read at start
        EVENT_SIDE_FILE = 2,  // a CString: the side file that takes the rows while another holds the day's file
        EVENT_FAILED = 3,     // a CString: why the log could not be written
    };

    CLogWriter();
    ~CLogWriter();
    CLogWriter(const CLogWriter&) = delete;
    CLogWriter& operator=(const CLogWriter&) = delete;

    // Opens the log in the folder (the ANSI code page) for the section on the thread and
    // reports to hWnd.
    void Start(HWND hWnd, const char* pszFolder, const char* pszSection, int nLogDays);
    bool IsStarted() const { return m_thread.joinable(); }
    // One poll's row: the reading, or null for a failed poll; the note in UTF-8.
    void Append(std::int64_t nUtcMs, const LMDATA* pData, std::string strNote);
    // Writes what is queued and ends the thread. A folder that does not answer within a
    // few seconds is left to the thread alone, so the program can end.
    void Stop();

    // The event's object, taken over by the caller.
    template <class T>
    static std::unique_ptr<T> TakeEvent(LPARAM lParam) {
        return std::unique_ptr<T>(reinterpret_cast<T*>(lParam));
    }
    // Frees an event nobody handled.
    static void DiscardEvent(WPARAM wParam, LPARAM lParam);

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
