#include "net/RequestGate.h"

#include <cstring>

namespace qrvld {

const char* requestCheckName(RequestCheck check) {
  static const char* const kNames[] = {
      "answered",   "not-allowed",  "wrong-size",  "wrong-magic",  "wrong-version",
      "wrong-type", "reserved-set", "padding-set", "rate-limited", "send-failed",
  };
  static_assert(sizeof kNames / sizeof kNames[0] == static_cast<int>(RequestCheck::kCount), "one name per outcome");
  return kNames[static_cast<int>(check)];
}

RequestGate::RequestGate(const AllowList& allow, RateLimiter& limiter, bool exemptLoopback, Clock clock)
    : allow_(allow), limiter_(limiter), exemptLoopback_(exemptLoopback), clock_(clock) {}

void RequestGate::reconfigure(const AllowList& allow, unsigned burst, unsigned perSecond, bool exemptLoopback) {
  allow_ = allow;
  limiter_.setRate(burst, perSecond);
  exemptLoopback_ = exemptLoopback;
  haveLast_ = false;
}

RequestCheck RequestGate::check(const IpAddress& source, const std::uint8_t* data, std::size_t size) {
  if (!haveLast_ || std::memcmp(source.bytes(), lastSource_.bytes(), 16) != 0) {
    lastSource_ = source;
    lastAdmitted_ = allow_.admits(source);
    lastLimited_ = !(exemptLoopback_ && source.isLoopback());
    haveLast_ = true;
  }
  if (!lastAdmitted_) return RequestCheck::NotAllowed;
  const RequestCheck bytes = qrvl::wire::checkRequest(data, size);
  if (bytes != RequestCheck::Valid || !lastLimited_) return bytes;
  if (!haveNow_) {
    nowMs_ = clock_();
    haveNow_ = true;
  }
  return limiter_.admit(source, nowMs_) ? RequestCheck::Valid : RequestCheck::RateLimited;
}

}  // namespace qrvld
