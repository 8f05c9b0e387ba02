#pragma once
#include "CHandleT.h"

// A GDI object's handle: a pen, brush, font or bitmap. Borrowed ones are those a context
// held before ours was selected.
template <class THandle>
struct CGdiObjectTraits {
    using Handle = THandle;
    static constexpr bool kCounted = true;
    static bool IsValid(THandle h) { return h != nullptr; }
    static BOOL Release(THandle h) { return ::DeleteObject(h); }
};

template <class THandle, bool t_bOwns>
using CGdiObjectT = CHandleT<CGdiObjectTraits<THandle>, t_bOwns>;
template <class THandle>
using CGdiOwner = CGdiObjectT<THandle, true>;
