#pragma once

#include <cstddef>
#include <cstdint>

#include "base/MonotonicClock.h"
#include "net/AllowList.h"
#include "net/IpAddress.h"
#include "net/RateLimiter.h"
#include "qrvl/Wire.h"

namespace qrvld {

using qrvl::wire::RequestCheck;

// "answered", "not-allowed", "wrong-size", ...: how the counters and the metrics name each.
const char* requestCheckName(RequestCheck check);

// Decides whether a datagram is answered, checking in a fixed order: source allowed,
// exact length, header, reserved and padding bytes, rate limit. Cheap checks on the
// sender come first; only a well-formed request may use up a token.
class RequestGate {
 public:
  using Clock = std::uint64_t (*)();

  RequestGate(const AllowList& allow, RateLimiter& limiter, bool exemptLoopback, Clock clock = monotonicMs);

  // Takes a reloaded allow-list, rate and exemption, between batches; the verdict kept on
  // the last source goes with the old ones.
  void reconfigure(const AllowList& allow, unsigned burst, unsigned perSecond, bool exemptLoopback);

  // The datagrams checked from now on arrived together: they share one reading of the
  // clock, taken only when one of them reaches the rate limit, and verdicts on a source
  // hold until the next batch.
  void startBatch() {
    haveNow_ = false;
    haveLast_ = false;
  }
  RequestCheck check(const IpAddress& source, const std::uint8_t* data, std::size_t size);

 private:
  AllowList allow_;
  RateLimiter& limiter_;
  bool exemptLoopback_;
  Clock clock_;
  bool haveNow_ = false;
  std::uint64_t nowMs_ = 0;
  // What the allow list and the exemption say of the last source seen: a flood, like a
  // busy client, usually comes from one address, and looking it up costs more than this.
  bool haveLast_ = false;
  IpAddress lastSource_;
  bool lastAdmitted_ = false;
  bool lastLimited_ = false;
};

}  // namespace qrvld
