#pragma once
#include "AfxModule.h"
#include "CHandleT.h"

// A menu handle. Borrowed ones are the submenus of a menu, which go with it.
struct CMenuTraits {
    using Handle = HMENU;
    static constexpr bool kCounted = false;
    static bool IsValid(HMENU h) { return h != nullptr; }
    static BOOL Release(HMENU h) { return ::DestroyMenu(h); }
};
using CMenuRef = CHandleT<CMenuTraits, false>;

class CMenu : public CHandleT<CMenuTraits, true> {
public:
    // A menu resource of the program in place of the one held.
    BOOL LoadMenu(UINT nIDResource) {
        Attach(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
        return IsValid();
    }
    CMenuRef GetSubMenu(int nPos) const { return CMenuRef(::GetSubMenu(m_h, nPos)); }
};
