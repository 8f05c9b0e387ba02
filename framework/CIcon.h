#pragma once
#include "CHandleT.h"

// An icon handle. Borrowed ones are icons the system shares, as LoadIcon gives, or that
// another owner keeps.
struct CIconTraits {
    using Handle = HICON;
    static constexpr bool kCounted = true;
    static bool IsValid(HICON h) { return h != nullptr; }
    static BOOL Release(HICON h) { return ::DestroyIcon(h); }
};

class CIcon : public CHandleT<CIconTraits, true> {
public:
    // An icon resource of the module at the given size, in place of the one held; false
    // (and none held) when it cannot be loaded.
    BOOL Load(HINSTANCE hInstance, UINT nIDResource, int cx, int cy) {
        Attach(static_cast<HICON>(
            ::LoadImageA(hInstance, MAKEINTRESOURCEA(LOWORD(nIDResource)), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
        return IsValid();
    }
};
using CIconRef = CHandleT<CIconTraits, false>;
static_assert(sizeof(CIcon) == sizeof(HICON) && sizeof(CIconRef) == sizeof(HICON), "an icon is its handle alone");
