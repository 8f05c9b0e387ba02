#pragma once
#include "QRVLPLUG.h"

// What the sampling worker tells its owner, on the worker's thread: each poll's outcome,
// and the end of the time that outcome stays on show. The owner hands them on to its
// window's thread.
class CSamplingSink {
public:
    // A poll returned a reading.
    virtual void OnReading(const LMDATA& data) = 0;
    // A poll failed, for the plug-in's reason.
    virtual void OnFailure(const char* pszReason) = 0;
    // The outcome of the last poll has been shown long enough.
    virtual void OnOutcomeShown() = 0;

protected:
    ~CSamplingSink() = default;
};
