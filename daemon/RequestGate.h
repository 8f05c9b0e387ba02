#pragma once

#include <cstddef>
#include <cstdint>

#include "AllowList.h"
#include "IpAddress.h"
#include "RateLimiter.h"

namespace qrvld {

// Why a datagram got no answer; None means it is answered.
enum class Drop : int {
  None,
  NotAllowed,
  WrongSize,
  WrongMagic,
  WrongVersion,
  WrongType,
  NonZeroReserved,
  NonZeroPadding,
  RateLimited,
  SendFailed,
  kCount,
};

const char* dropName(Drop drop);

// Decides whether a datagram is answered, checking in a fixed order: source allowed,
// exact length, header, reserved and padding bytes, rate limit. Cheap checks on the
// sender come first; only a well-formed request may use up a token.
class RequestGate {
 public:
  RequestGate(const AllowList& allow, RateLimiter& limiter, bool exemptLoopback);

  Drop check(const IpAddress& source, const std::uint8_t* data, std::size_t size, std::uint64_t nowMs);

 private:
  const AllowList& allow_;
  RateLimiter& limiter_;
  bool exemptLoopback_;
};

}  // namespace qrvld
