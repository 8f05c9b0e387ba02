#include "qrvl/history/DayRing.h"

#include <limits>

namespace qrvl::history {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

}  // namespace

DayRing::DayRing(std::size_t capacity) {
  // Whole blocks only, so a block never straddles the ring's seam.
  const std::size_t blocks = capacity == 0 ? 1 : (capacity + kBlockSize - 1) / kBlockSize;
  capacity_ = blocks * kBlockSize;
  // Left uninitialised: the system backs a page only when a reading first lands on it, so
  // a copy that has run an hour holds an hour.
  samples_.reset(new Sample[capacity_]);
  blocks_.resize(blocks);
}

void DayRing::append(const Sample& sample) {
  Sample kept = sample;
  if (size_ > 0) {
    const std::int64_t newest = at(size_ - 1).utcMs;
    if (kept.utcMs < newest) kept.utcMs = newest;
  }
  samples_[slotOf(nextSequence_)] = kept;

  BlockRange& block = blocks_[(nextSequence_ / kBlockSize) % blocks_.size()];
  if (nextSequence_ % kBlockSize == 0) {
    for (int c = 0; c < kChannels; ++c) {
      block.min[c] = kInfinity;
      block.max[c] = -kInfinity;
    }
  }
  // NaN compares false both ways and so stays out of the summary.
  for (int c = 0; c < kChannels; ++c) {
    if (kept.values[c] < block.min[c]) block.min[c] = kept.values[c];
    if (kept.values[c] > block.max[c]) block.max[c] = kept.values[c];
  }
  ++nextSequence_;
  if (size_ < capacity_) ++size_;
}

std::size_t DayRing::memoryBytes() const {
  return capacity_ * sizeof(Sample) + blocks_.capacity() * sizeof(BlockRange);
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
    const float v = samples_[slotOf(from)].values[channel];
    foldValue(v, v);
  }
  for (; from + kBlockSize <= to; from += kBlockSize) {
    const BlockRange& block = blocks_[(from / kBlockSize) % blocks_.size()];
    foldValue(block.min[channel], block.max[channel]);
  }
  for (; from < to; ++from) {
    const float v = samples_[slotOf(from)].values[channel];
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
