// Token-bucket arithmetic and the fixed-size table, on a clock the test controls.
#include <gtest/gtest.h>

#include <string>

#include "RateLimiter.h"

using qrvld::IpAddress;
using qrvld::RateLimiter;

namespace {
IpAddress address(const std::string& text) {
  IpAddress a;
  EXPECT_TRUE(IpAddress::parse(text, a)) << text;
  return a;
}

int admitted(RateLimiter& limiter, const IpAddress& source, int requests, std::uint64_t nowMs) {
  int n = 0;
  for (int i = 0; i < requests; ++i) n += limiter.admit(source, nowMs) ? 1 : 0;
  return n;
}
}  // namespace

TEST(RateLimiter, BucketsRefillAndTheTableStaysSmall) {
  const IpAddress a = address("192.0.2.1");

  // A burst, then the refill rate, never more than the burst after a long pause.
  RateLimiter limiter(20, 10, 42);
  EXPECT_EQ(admitted(limiter, a, 50, 1000), 20);
  EXPECT_EQ(admitted(limiter, a, 50, 1100), 1);
  EXPECT_EQ(admitted(limiter, a, 50, 1350), 2);
  EXPECT_EQ(admitted(limiter, a, 50, 1000000), 20);
  // A clock that does not move refills nothing.
  EXPECT_EQ(admitted(limiter, a, 5, 1000000), 0);

  // No refill at all: the burst is all there is.
  RateLimiter once(3, 0, 42);
  EXPECT_EQ(admitted(once, a, 5, 0), 3);
  EXPECT_EQ(admitted(once, a, 5, 60000), 0);

  // A table of one set: a fifth source takes the slot of the one seen longest ago, which
  // then starts again with a full bucket; the others keep their state.
  RateLimiter tiny(2, 0, 42, 4);
  const IpAddress s[5] = {address("192.0.2.10"), address("192.0.2.11"), address("2001:db8::12"),
                          address("192.0.2.13"), address("192.0.2.14")};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(admitted(tiny, s[i], 3, 100 + i), 2);
  EXPECT_EQ(admitted(tiny, s[4], 3, 200), 2);
  EXPECT_EQ(admitted(tiny, s[1], 1, 201), 0);
  EXPECT_EQ(admitted(tiny, s[0], 1, 202), 1);
}
