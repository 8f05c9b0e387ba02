#include "net/RateLimiter.h"

#include <algorithm>

namespace qrvld {

namespace {
// splitmix64's finaliser: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}
}  // namespace

RateLimiter::RateLimiter(unsigned burst, unsigned perSecond, std::uint64_t seed, std::size_t slots)
    : burstMilli_(std::uint64_t{burst} * kMilli),
      perSecond_(perSecond),
      seed_(seed),
      slots_((slots + kWays - 1) / kWays * kWays, Slot{IpAddress(), 0, 0, false}) {}

std::size_t RateLimiter::setOf(const IpAddress& source) const {
  // Keyed by a random seed, so nobody can aim many addresses at one set.
  std::uint64_t h = seed_;
  const std::uint8_t* b = source.bytes();
  for (int i = 0; i < 16; i += 8) {
    std::uint64_t word = 0;
    for (int j = 0; j < 8; ++j) word = word << 8 | b[i + j];
    h = mix(h ^ word);
  }
  return static_cast<std::size_t>(h % (slots_.size() / kWays));
}

bool RateLimiter::admit(const IpAddress& source, std::uint64_t nowMs) {
  Slot* set = &slots_[setOf(source) * kWays];
  Slot* slot = nullptr;
  Slot* oldest = set;
  for (std::size_t i = 0; i < kWays; ++i) {
    if (set[i].used && set[i].source == source) {
      slot = &set[i];
      break;
    }
    if (!set[i].used || (oldest->used && set[i].lastMs < oldest->lastMs)) oldest = &set[i];
  }
  if (slot == nullptr) {
    slot = oldest;
    *slot = Slot{source, nowMs, burstMilli_, true};
  }
  if (nowMs > slot->lastMs) {
    // Beyond a burst's refill time the bucket is full anyway; capping keeps the product small.
    const std::uint64_t elapsed = nowMs - slot->lastMs < 86400000 ? nowMs - slot->lastMs : 86400000;
    const std::uint64_t refill = elapsed * perSecond_;  // thousandths of a token per ms
    slot->milliTokens = slot->milliTokens + refill > burstMilli_ ? burstMilli_ : slot->milliTokens + refill;
    slot->lastMs = nowMs;
  }
  if (slot->milliTokens < kMilli) return false;
  slot->milliTokens -= kMilli;
  return true;
}

void RateLimiter::setRate(unsigned burst, unsigned perSecond) {
  burstMilli_ = std::uint64_t{burst} * kMilli;
  perSecond_ = perSecond;
  for (Slot& slot : slots_) slot.milliTokens = std::min(slot.milliTokens, burstMilli_);
}

}  // namespace qrvld
