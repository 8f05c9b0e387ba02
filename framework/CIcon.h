#pragma once
#include <windows.h>

#include <utility>

#include "CopyableUnlessOwning.h"
#include "GdiCounters.h"

// An icon handle. Owning instances (t_bOwns) are move-only and destroy their icon; borrowed
// ones (an icon the system shares, as LoadIcon gives, or one another owner keeps) never do.
template <bool t_bOwns>
class CIconT : private CopyableUnlessOwning<t_bOwns> {
public:
    CIconT() = default;
    explicit CIconT(HICON h) : m_hIcon(h) { static_assert(!t_bOwns, "owning icons take a handle through Attach"); }
    ~CIconT() {
        if constexpr (t_bOwns) DestroyIcon();
    }
    // Deleted for owners by the base.
    CIconT(const CIconT&) = default;
    CIconT& operator=(const CIconT&) = default;
    CIconT(CIconT&& other) noexcept : m_hIcon(std::exchange(other.m_hIcon, nullptr)) {}
    CIconT& operator=(CIconT&& other) noexcept {
        if (this != &other) {
            if constexpr (t_bOwns) DestroyIcon();
            m_hIcon = std::exchange(other.m_hIcon, nullptr);
        }
        return *this;
    }

    HICON GetSafeHandle() const { return m_hIcon; }
    operator HICON() const { return m_hIcon; }

    // Takes ownership of an icon created elsewhere.
    void Attach(HICON h) {
        static_assert(t_bOwns, "borrowed icons cannot own");
        DestroyIcon();
        m_hIcon = h;
        if (h) GdiCounters::NoteCreated();
    }
    // An icon resource of the module at the given size, in place of the one held; false
    // (and none held) when it cannot be loaded.
    BOOL Load(HINSTANCE hInstance, UINT nIDResource, int cx, int cy) {
        Attach(static_cast<HICON>(
            ::LoadImageA(hInstance, MAKEINTRESOURCEA(LOWORD(nIDResource)), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
        return m_hIcon != nullptr;
    }
    BOOL DestroyIcon() {
        static_assert(t_bOwns, "borrowed icons are never destroyed");
        if (!m_hIcon) return FALSE;
        BOOL bOk = ::DestroyIcon(m_hIcon);
        GdiCounters::NoteReleased();
        m_hIcon = nullptr;
        return bOk;
    }

private:
    HICON m_hIcon = nullptr;
};

using CIcon = CIconT<true>;
using CIconRef = CIconT<false>;
static_assert(sizeof(CIcon) == sizeof(HICON) && sizeof(CIconRef) == sizeof(HICON), "an icon is its handle alone");
