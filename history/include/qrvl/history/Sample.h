#pragma once
// One poll: its time and the charted channels, NaN where a channel has no number.

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
