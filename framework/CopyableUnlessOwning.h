#pragma once

// The base of every handle wrapper: a borrowed handle copies freely, an owning one only
// moves, since two owners would release one handle twice. Deleting the copy here, at the
// base, keeps a wrapper that forgets to delete its own copy from compiling into a double
// release.
template <bool t_bOwns>
class CopyableUnlessOwning {};

template <>
class CopyableUnlessOwning<true> {
protected:
    CopyableUnlessOwning() = default;
    ~CopyableUnlessOwning() = default;
    CopyableUnlessOwning(const CopyableUnlessOwning&) = delete;
    CopyableUnlessOwning& operator=(const CopyableUnlessOwning&) = delete;
    CopyableUnlessOwning(CopyableUnlessOwning&&) noexcept = default;
    CopyableUnlessOwning& operator=(CopyableUnlessOwning&&) noexcept = default;
};
