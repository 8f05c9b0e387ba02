#pragma once

#include <cstdint>

namespace qrvld {

// Milliseconds of the monotonic clock: what the rate limit counts in.
std::uint64_t monotonicMs();

}  // namespace qrvld
