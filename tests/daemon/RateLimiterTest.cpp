// Token-bucket arithmetic and the fixed-size table, on a clock the test controls.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "net/RateLimiter.h"

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

// A source that always asks for more than it may get gets its burst and then exactly the
// rate, whatever the pauses and a clock that stands still; a pause long enough to fill the
// bucket gives one burst again and no more. Random rates and pauses, a fixed seed.
TEST(RateLimiter, GivesTheBurstThenTheRateAndNeverMore) {
  std::mt19937 random(7);
  const IpAddress a = address("192.0.2.1");
  for (int round = 0; round < 300; ++round) {
    const unsigned burst = std::uniform_int_distribution<unsigned>(2, 40)(random);
    const unsigned rate = std::uniform_int_distribution<unsigned>(0, 60)(random);
    RateLimiter limiter(burst, rate, random());
    std::uint64_t now = random() % 100000;
    std::uint64_t since = now;                                   // the last time the bucket was full
    long total = admitted(limiter, a, static_cast<int>(burst) + 1, now);  // admitted since then
    for (int step = 0; step < 40; ++step) {
      // Pauses short of filling the bucket, or one that fills it many times over.
      if (rate > 0 && random() % 8 == 0) {
        now += 1000000;
        since = now;
        total = 0;
      } else {
        now += random() % ((burst - 1) * 1000 / (rate == 0 ? 1 : rate) + 1);
      }
      total += admitted(limiter, a, static_cast<int>(burst) + 1, now);
      ASSERT_EQ(total, burst + static_cast<long>(rate * (now - since) / 1000))
          << "burst " << burst << " rate " << rate << " step " << step;
    }
  }
}

TEST(RateLimiter, TheTableStaysSmall) {
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
