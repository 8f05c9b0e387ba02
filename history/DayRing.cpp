#include "qrvl/history/DayRing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "qrvl/Channels.h"

namespace qrvl::history {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
// A channel without a number.
constexpr std::int16_t kNoValue = std::numeric_limits<std::int16_t>::min();

// The value of one step of each channel: 10 to the minus its decimals.
const auto kSteps = [] {
  std::array<float, kChannels> steps{};
  for (int c = 0; c < kChannels; ++c) steps[c] = std::pow(10.f, -static_cast<float>(channelFacts(c).decimals));
  return steps;
}();

}  // namespace

DayRing::Slot DayRing::packed(const Sample& sample) {
  Slot slot{sample.utcMs, {}};
  for (int c = 0; c < kChannels; ++c) {
    // Beyond the range the value stands at its end, far off any chart's scale.
    const float steps = std::round(sample.values[c] / kSteps[c]);
    slot.steps[c] = std::isnan(steps) ? kNoValue : static_cast<std::int16_t>(std::clamp(steps, -32767.f, 32767.f));
  }
  return slot;
}

float DayRing::valueOf(const Slot& slot, int channel) {
  return slot.steps[channel] == kNoValue ? NAN : slot.steps[channel] * kSteps[channel];
}

Sample DayRing::unpacked(const Slot& slot) {
  Sample sample{slot.utcMs, {}};
  for (int c = 0; c < kChannels; ++c) sample.values[c] = valueOf(slot, c);
  return sample;
}

DayRing::DayRing(std::size_t capacity) {
  // Whole blocks only, so a block never straddles the ring's seam.
  const std::size_t blocks = capacity == 0 ? 1 : (capacity + kBlockSize - 1) / kBlockSize;
  capacity_ = blocks * kBlockSize;
  // Left uninitialised: the system backs a page only when a reading first lands on it, so
  // a copy that has run an hour holds an hour.
  slots_.reset(new Slot[capacity_]);
  blocks_.resize(blocks);
}

void DayRing::append(const Sample& sample) {
  Slot kept = packed(sample);
  if (size_ > 0) {
    const std::int64_t newest = at(size_ - 1).utcMs;
    if (kept.utcMs < newest) kept.utcMs = newest;
  }
  slots_[slotOf(nextSequence_)] = kept;

  BlockRange& block = blocks_[(nextSequence_ / kBlockSize) % blocks_.size()];
  if (nextSequence_ % kBlockSize == 0) {
    for (int c = 0; c < kChannels; ++c) {
      block.min[c] = kInfinity;
      block.max[c] = -kInfinity;
    }
  }
  // NaN compares false both ways and so stays out of the summary.
  for (int c = 0; c < kChannels; ++c) {
    const float value = valueOf(kept, c);
    if (value < block.min[c]) block.min[c] = value;
    if (value > block.max[c]) block.max[c] = value;
  }
  ++nextSequence_;
  if (size_ < capacity_) ++size_;
}

std::size_t DayRing::memoryBytes() const {
  return capacity_ * sizeof(Slot) + blocks_.capacity() * sizeof(BlockRange);
}

std::size_t DayRing::firstAfter(std::int64_t timeMs) const {
  std::size_t low = 0;
  std::size_t high = size_;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (at(middle).utcMs <= timeMs) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

void DayRing::fold(std::uint64_t from, std::uint64_t to, int channel, ColumnRange& range) const {
  auto foldValue = [&](float low, float high) {
    if (low < range.min) range.min = low;
    if (high > range.max) range.max = high;
  };
  // Readings up to a block's start, whole blocks, then the readings left. A whole block
  // inside [from, to) is both complete and still wholly kept, so its summary is current.
  for (; from < to && from % kBlockSize != 0; ++from) {
    const float v = valueOf(slots_[slotOf(from)], channel);
    foldValue(v, v);
  }
  for (; from + kBlockSize <= to; from += kBlockSize) {
    const BlockRange& block = blocks_[(from / kBlockSize) % blocks_.size()];
    foldValue(block.min[channel], block.max[channel]);
  }
  for (; from < to; ++from) {
    const float v = valueOf(slots_[slotOf(from)], channel);
    foldValue(v, v);
  }
}

void DayRing::reduce(std::int64_t endMs, std::int64_t spanMs, int columns, int channel, ColumnRange* out) const {
  const std::uint64_t first = firstSequence();
  std::size_t begin = firstAfter(columnTime(endMs, spanMs, columns, 0).afterMs);
  for (int column = 0; column < columns; ++column) {
    const std::size_t end = firstAfter(columnTime(endMs, spanMs, columns, column).untilMs);
    ColumnRange range{false, kInfinity, -kInfinity};
    if (begin < end) fold(first + begin, first + end, channel, range);
    range.hasValue = range.min <= range.max;
    out[column] = range;
    begin = end;
  }
}

}  // namespace qrvl::history
