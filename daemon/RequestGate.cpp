#include "RequestGate.h"

#include <time.h>

#include <cstring>

#include "qrvl/Wire.h"

namespace qrvld {

const char* dropName(Drop drop) {
  static const char* const kNames[] = {
      "answered",   "not-allowed",  "wrong-size",  "wrong-magic",  "wrong-version",
      "wrong-type", "reserved-set", "padding-set", "rate-limited", "send-failed",
  };
  static_assert(sizeof kNames / sizeof kNames[0] == static_cast<int>(Drop::kCount), "one name per drop");
  return kNames[static_cast<int>(drop)];
}

std::uint64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000;
}

RequestGate::RequestGate(const AllowList& allow, RateLimiter& limiter, bool exemptLoopback, Clock clock)
    : allow_(allow), limiter_(limiter), exemptLoopback_(exemptLoopback), clock_(clock) {}

void RequestGate::reconfigure(const AllowList& allow, unsigned burst, unsigned perSecond, bool exemptLoopback) {
  allow_ = allow;
  limiter_.setRate(burst, perSecond);
  exemptLoopback_ = exemptLoopback;
  haveLast_ = false;
}

Drop RequestGate::check(const IpAddress& source, const std::uint8_t* data, std::size_t size) {
  using qrvl::wire::RequestCheck;
  if (!haveLast_ || std::memcmp(source.bytes(), lastSource_.bytes(), 16) != 0) {
    lastSource_ = source;
    lastAdmitted_ = allow_.admits(source);
    lastLimited_ = !(exemptLoopback_ && source.isLoopback());
    haveLast_ = true;
  }
  if (!lastAdmitted_) return Drop::NotAllowed;
  switch (qrvl::wire::checkRequest(data, size)) {
    case RequestCheck::Valid: break;
    case RequestCheck::WrongSize: return Drop::WrongSize;
    case RequestCheck::WrongMagic: return Drop::WrongMagic;
    case RequestCheck::WrongVersion: return Drop::WrongVersion;
    case RequestCheck::WrongType: return Drop::WrongType;
    case RequestCheck::NonZeroReserved: return Drop::NonZeroReserved;
    case RequestCheck::NonZeroPadding: return Drop::NonZeroPadding;
  }
  if (!lastLimited_) return Drop::None;
  if (!haveNow_) {
    nowMs_ = clock_();
    haveNow_ = true;
  }
  return limiter_.admit(source, nowMs_) ? Drop::None : Drop::RateLimited;
}

}  // namespace qrvld
