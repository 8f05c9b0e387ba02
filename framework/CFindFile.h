#pragma once
#include "CHandleT.h"

// A directory search (FindFirstFileW), ended once.
struct CFindFileTraits {
    using Handle = HANDLE;
    static constexpr bool kCounted = false;
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static BOOL Release(HANDLE h) { return ::FindClose(h); }
};

using CFindFile = CHandleT<CFindFileTraits, true>;
