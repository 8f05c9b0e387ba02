#pragma once
// A request to stop waiting: set by any thread, seen by the one that waits.

#include <atomic>

namespace qrvl {

// Atomic by its type; the plug-in keeps one in its fixed layout, where it is the size of
// an int.
using CancelFlag = std::atomic<int>;

inline bool isCancelled(const CancelFlag& flag) { return flag.load(std::memory_order_acquire) != 0; }
inline void cancel(CancelFlag& flag) { flag.store(1, std::memory_order_release); }

}  // namespace qrvl
