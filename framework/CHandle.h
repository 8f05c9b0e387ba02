#pragma once
#include "CHandleT.h"

// A kernel object's handle (thread, event, mutex, file). Both null and INVALID_HANDLE_VALUE
// mean "none", as the platform's calls return either.
struct CKernelHandleTraits {
    using Handle = HANDLE;
    static constexpr bool kCounted = false;
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static BOOL Release(HANDLE h) { return ::CloseHandle(h); }
};

using CHandle = CHandleT<CKernelHandleTraits, true>;
