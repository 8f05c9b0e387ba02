#include "CProfileLock.h"

namespace {
// A copy that hangs while holding the lock must not keep the others from ending.
constexpr DWORD kWaitMs = 10000;
}  // namespace

CProfileLock::CProfileLock(const char* pszProfileName) : m_bOwned(false) {
    // File names ignore case and mutex names do not; nor may these hold a backslash.
    char szName[MAX_PATH + 16] = "QRVL profile ";
    ::lstrcpynA(szName + 13, pszProfileName, MAX_PATH);
    ::CharUpperA(szName);
    for (char* p = szName; *p; p = ::CharNextA(p))
        if (*p == '\\') *p = '/';
    m_hMutex = CHandle(::CreateMutexA(nullptr, FALSE, szName));
    if (!m_hMutex.IsValid()) return;
    // An abandoned lock (a copy that died holding it) is ours all the same.
    const DWORD dwWait = ::WaitForSingleObject(m_hMutex, kWaitMs);
    m_bOwned = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
}

CProfileLock::~CProfileLock() {
    if (m_bOwned) ::ReleaseMutex(m_hMutex);
}
