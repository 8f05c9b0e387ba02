#pragma once
#include <windows.h>
#include <utility>

#include "CopyableUnlessOwning.h"
#include "GdiCounters.h"

// A GDI object handle. Owning instances (t_bOwns) are move-only and delete their object;
// borrowed ones (a pen or bitmap a context held before ours was selected) never delete.
template <class THandle, bool t_bOwns>
class CGdiObjectT : private CopyableUnlessOwning<t_bOwns> {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(THandle h) : m_hObject(h) {
        static_assert(!t_bOwns, "owning objects take a handle through Attach");
    }
    ~CGdiObjectT() {
        if constexpr (t_bOwns) DeleteObject();
    }
    // Deleted for owners by the base.
    CGdiObjectT(const CGdiObjectT&) = default;
    CGdiObjectT& operator=(const CGdiObjectT&) = default;
    CGdiObjectT(CGdiObjectT&& other) noexcept : m_hObject(std::exchange(other.m_hObject, nullptr)) {}
    CGdiObjectT& operator=(CGdiObjectT&& other) noexcept {
        if (this != &other) {
            if constexpr (t_bOwns) DeleteObject();
            m_hObject = std::exchange(other.m_hObject, nullptr);
        }
        return *this;
    }

    THandle GetSafeHandle() const { return m_hObject; }
    operator THandle() const { return m_hObject; }

    // Takes ownership of a handle created elsewhere.
    void Attach(THandle h) {
        static_assert(t_bOwns, "borrowed objects cannot own");
        DeleteObject();
        m_hObject = h;
        if (h) GdiCounters::NoteCreated();
    }
    THandle Detach() {
        if (t_bOwns && m_hObject) GdiCounters::NoteReleased();
        return std::exchange(m_hObject, nullptr);
    }
    BOOL DeleteObject() {
        static_assert(t_bOwns, "borrowed objects never delete");
        if (!m_hObject) return FALSE;
        BOOL bOk = ::DeleteObject(m_hObject);
        GdiCounters::NoteReleased();
        m_hObject = nullptr;
        return bOk;
    }

protected:
    THandle m_hObject = nullptr;
};

template <class THandle>
using CGdiOwner = CGdiObjectT<THandle, true>;
