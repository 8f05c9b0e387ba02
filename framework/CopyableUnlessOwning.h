#pragma once

// The base of the handle wrapper CHandleT: a borrowed handle copies freely, an owning one
// only moves, since two owners would release one handle twice. Deleting the copy here, at
// the base, keeps a wrapper built on it from compiling into a double release.
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
