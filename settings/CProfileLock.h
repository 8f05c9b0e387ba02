#pragma once
#include <windows.h>

#include "CHandle.h"

// Holds the lock that every copy of the program takes around its profile reads and writes.
// Copies on different sections share one file, and the platform rewrites the whole file
// for each key: two copies saving at once would otherwise lose each other's lines.
class CProfileLock {
public:
    // Named after the profile, so copies of a renamed program (another file) do not wait.
    explicit CProfileLock(const char* pszProfileName);
    CProfileLock(const CProfileLock&) = delete;
    CProfileLock& operator=(const CProfileLock&) = delete;
    ~CProfileLock();

private:
    CHandle m_hMutex;
    bool m_bOwned;
};
