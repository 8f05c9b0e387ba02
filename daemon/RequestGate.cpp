#include "RequestGate.h"

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

RequestGate::RequestGate(const AllowList& allow, RateLimiter& limiter, bool exemptLoopback)
    : allow_(allow), limiter_(limiter), exemptLoopback_(exemptLoopback) {}

Drop RequestGate::check(const IpAddress& source, const std::uint8_t* data, std::size_t size,
                        std::uint64_t nowMs) {
  using qrvl::wire::RequestCheck;
  if (!allow_.admits(source)) return Drop::NotAllowed;
  switch (qrvl::wire::checkRequest(data, size)) {
    case RequestCheck::Valid: break;
    case RequestCheck::WrongSize: return Drop::WrongSize;
    case RequestCheck::WrongMagic: return Drop::WrongMagic;
    case RequestCheck::WrongVersion: return Drop::WrongVersion;
    case RequestCheck::WrongType: return Drop::WrongType;
    case RequestCheck::NonZeroReserved: return Drop::NonZeroReserved;
    case RequestCheck::NonZeroPadding: return Drop::NonZeroPadding;
  }
  if (!(exemptLoopback_ && source.isLoopback()) && !limiter_.admit(source, nowMs)) return Drop::RateLimited;
  return Drop::None;
}

}  // namespace qrvld
