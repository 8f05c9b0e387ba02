#pragma once
#include <windows.h>

#include <utility>

#include "CopyableUnlessOwning.h"
#include "GdiCounters.h"

// Every handle wrapper: owning instances (t_bOwns) are move-only and release their handle
// once; borrowed ones (a handle the system shares or another owner keeps) never release.
// TTraits says what a handle is: its type Handle, IsValid(h), Release(h) and kCounted,
// whether GdiCounters sees it come and go.
template <class TTraits, bool t_bOwns>
class CHandleT : private CopyableUnlessOwning<t_bOwns> {
public:
    using Handle = typename TTraits::Handle;

    CHandleT() = default;
    explicit CHandleT(Handle h) {
        if constexpr (t_bOwns)
            Attach(h);
        else
            m_h = h;
    }
    ~CHandleT() {
        if constexpr (t_bOwns) Release();
    }
    // Deleted for owners by the base.
    CHandleT(const CHandleT&) = default;
    CHandleT& operator=(const CHandleT&) = default;
    CHandleT(CHandleT&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    CHandleT& operator=(CHandleT&& other) noexcept {
        if (this != &other) {
            if constexpr (t_bOwns) Release();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }

    Handle GetSafeHandle() const { return m_h; }
    operator Handle() const { return m_h; }
    bool IsValid() const { return TTraits::IsValid(m_h); }

    // Takes ownership of a handle made elsewhere, releasing the one held.
    void Attach(Handle h) {
        static_assert(t_bOwns, "borrowed handles cannot own");
        Release();
        m_h = h;
        if (TTraits::kCounted && IsValid()) GdiCounters::NoteCreated();
    }
    Handle Detach() {
        if (t_bOwns && TTraits::kCounted && IsValid()) GdiCounters::NoteReleased();
        return std::exchange(m_h, nullptr);
    }
    BOOL Release() {
        static_assert(t_bOwns, "borrowed handles are never released");
        BOOL bOk = FALSE;
        if (IsValid()) {
            bOk = TTraits::Release(m_h);
            if (TTraits::kCounted) GdiCounters::NoteReleased();
        }
        m_h = nullptr;
        return bOk;
    }

protected:
    Handle m_h = nullptr;
};
