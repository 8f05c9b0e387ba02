#pragma once
// One poll as the history keeps it: 32 bytes, so a day at one poll a second fits in 2.7 MiB.

#include <cstdint>

#include "qrvl/Channels.h"

namespace qrvl::history {

// The charted channels, in the record's order.
inline constexpr int kChannels = kChartCount;

struct Sample {
  std::int64_t utcMs;
  // NaN: the channel gave no number, or the poll failed.
  float values[kChannels];
};

}  // namespace qrvl::history
