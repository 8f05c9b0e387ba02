#pragma once
// The last day of one copy's readings, in one block of memory allocated at construction:
// the oldest reading gives way to the newest, so memory does not grow with uptime.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "qrvl/history/LookBack.h"
#include "qrvl/history/Sample.h"

namespace qrvl::history {

// What one plot column shows: the lowest to the highest reading of its slice of time.
struct ColumnRange {
  bool hasValue;
  float min;
  float max;
};

class DayRing {
 public:
  // A day at one poll a second.
  static constexpr std::size_t kDayOfSeconds = 24 * 60 * 60;

  explicit DayRing(std::size_t capacity = kDayOfSeconds);

  // Readings are kept in time order: one stamped before the newest (a clock set back) is
  // stamped with the newest's time instead.
  void append(const Sample& sample);

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  // Index 0 is the oldest reading kept, its values to the channel's decimals.
  Sample at(std::size_t index) const { return unpacked(slots_[slotOf(firstSequence() + index)]); }
  // Heap bytes held, fixed from construction on.
  std::size_t memoryBytes() const;

  // One channel across `columns` columns of the span ending at endMs (columnTime's slices);
  // a column whose slice holds no number of the channel has no value. `out` holds `columns`.
  void reduce(std::int64_t endMs, std::int64_t spanMs, int columns, int channel, ColumnRange* out) const;

 private:
  // Lowest and highest value of each channel over a block of consecutive readings, so a
  // wide column reads a summary per block instead of every reading.
  struct BlockRange {
    float min[kChannels];
    float max[kChannels];
  };
  static constexpr std::size_t kBlockSize = 32;

  // A reading as the ring keeps it: each value a whole number of the channel's last
  // decimal (tenths of a degree, millivolts), 20 bytes where a Sample takes 32.
#pragma pack(push, 4)
  struct Slot {
    std::int64_t utcMs;
    std::int16_t steps[kChannels];
  };
#pragma pack(pop)
  static Slot packed(const Sample& sample);
  static Sample unpacked(const Slot& slot);
  static float valueOf(const Slot& slot, int channel);

  std::uint64_t firstSequence() const { return nextSequence_ - size_; }
  std::size_t slotOf(std::uint64_t sequence) const { return static_cast<std::size_t>(sequence % capacity_); }
  // Index of the first reading later than timeMs.
  std::size_t firstAfter(std::int64_t timeMs) const;
  void fold(std::uint64_t from, std::uint64_t to, int channel, ColumnRange& range) const;

  std::unique_ptr<Slot[]> slots_;
  std::size_t capacity_ = 0;
  std::vector<BlockRange> blocks_;
  std::size_t size_ = 0;
  // Readings ever appended: reading n sits in slot n % capacity, its block's summary in
  // blocks_[(n / kBlockSize) % blocks].
  std::uint64_t nextSequence_ = 0;
};

}  // namespace qrvl::history
