#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/IpAddress.h"

namespace qrvld {

// Token buckets per source address in a table whose size is fixed at construction, so a
// flood from many addresses costs no memory: when a set of the table is full, the source
// seen longest ago gives up its slot.
class RateLimiter {
 public:
  static constexpr std::size_t kDefaultSlots = 4096;

  RateLimiter(unsigned burst, unsigned perSecond, std::uint64_t seed, std::size_t slots = kDefaultSlots);

  // Takes a token of `source` at monotonic time `nowMs`; false when its bucket is empty.
  bool admit(const IpAddress& source, std::uint64_t nowMs);
  // Takes a new burst and refill rate; each bucket keeps its tokens, up to the new burst.
  void setRate(unsigned burst, unsigned perSecond);

 private:
  static constexpr std::size_t kWays = 4;
  static constexpr std::uint64_t kMilli = 1000;  // tokens are counted in thousandths

  struct Slot {
    IpAddress source;
    std::uint64_t lastMs;
    std::uint64_t milliTokens;
    bool used;
  };

  std::size_t setOf(const IpAddress& source) const;

  std::uint64_t burstMilli_;
  std::uint64_t perSecond_;
  std::uint64_t seed_;
  std::vector<Slot> slots_;
};

}  // namespace qrvld
