#pragma once
// One poll as the history keeps it: 32 bytes, so a day at one poll a second fits in 2.7 MiB.

#include <cstdint>

namespace qrvl::history {

inline constexpr int kChannels = 6;

struct Sample {
  std::int64_t utcMs;
  // NaN: the channel gave no number, or the poll failed.
  float values[kChannels];
};

}  // namespace qrvl::history
