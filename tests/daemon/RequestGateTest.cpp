// The checks of one datagram, in their fixed order, on a clock the test controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UdpPeer.h"
#include "net/RequestGate.h"

using qrvld::AllowList;
using qrvld::RequestCheck;
using qrvld::IpAddress;
using qrvld::RateLimiter;
using qrvld::RequestGate;

namespace {
IpAddress address(const std::string& text) {
  IpAddress a;
  EXPECT_TRUE(IpAddress::parse(text, a)) << text;
  return a;
}

int clockReads;
std::uint64_t clockMs;
std::uint64_t testClock() {
  ++clockReads;
  return clockMs;
}

RequestCheck check(RequestGate& gate, const IpAddress& source, const std::vector<std::uint8_t>& bytes) {
  return gate.check(source, bytes.data(), bytes.size());
}
}  // namespace

TEST(RequestGate, ChecksInOrderAndReadsTheClockOnlyForTheRateLimit) {
  AllowList allow = AllowList::loopback();
  std::string error;
  ASSERT_TRUE(allow.add("192.0.2.0/24", error));
  RateLimiter limiter(2, 1, 42);
  RequestGate gate(allow, limiter, true, testClock);
  clockReads = 0;
  clockMs = 1000;
  const IpAddress local = address("127.0.0.1");
  const IpAddress lan = address("192.0.2.7");
  const IpAddress stranger = address("198.51.100.1");
  const auto valid = qrvltest::request(5);
  auto changed = [&](std::size_t at, std::uint8_t value) { return qrvltest::withByte(valid, at, value); };
  auto sized = [&](std::size_t size) { return qrvltest::withSize(valid, size); };

  // A source outside the list is refused first, whatever it sends; the others' bytes get
  // the wire check's verdict (each one is tested with the protocol), and no junk ever
  // reads the clock.
  gate.startBatch();
  EXPECT_EQ(check(gate, stranger, valid), RequestCheck::NotAllowed);
  EXPECT_EQ(check(gate, stranger, sized(7)), RequestCheck::NotAllowed);
  EXPECT_EQ(check(gate, lan, sized(129)), RequestCheck::WrongSize);
  EXPECT_EQ(check(gate, lan, changed(7, 1)), RequestCheck::NonZeroReserved);
  EXPECT_EQ(check(gate, lan, qrvltest::withByte(changed(0, 'q'), 100, 1)), RequestCheck::WrongMagic);
  EXPECT_EQ(clockReads, 0);

  // Sources taking turns get their own verdicts, not the previous one's.
  EXPECT_EQ(check(gate, stranger, valid), RequestCheck::NotAllowed);
  EXPECT_EQ(check(gate, local, valid), RequestCheck::Valid);
  EXPECT_EQ(check(gate, stranger, valid), RequestCheck::NotAllowed);

  // Loopback is exempt and never reads the clock; the rate-limited source reads it once a
  // batch, and its bucket refills between batches.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(check(gate, local, valid), RequestCheck::Valid);
  EXPECT_EQ(clockReads, 0);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::Valid);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::Valid);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::RateLimited);
  EXPECT_EQ(clockReads, 1);
  clockMs += 1000;
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::RateLimited);
  gate.startBatch();
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::Valid);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::RateLimited);
  EXPECT_EQ(clockReads, 2);
}

TEST(RequestGate, AReloadDropsTheVerdictKeptAndCapsTheBuckets) {
  AllowList lans;
  std::string error;
  ASSERT_TRUE(lans.add("192.0.2.0/24", error));
  RateLimiter limiter(5, 0, 42);
  RequestGate gate(lans, limiter, true, testClock);
  const IpAddress lan = address("192.0.2.7");
  const auto valid = qrvltest::request(5);

  // Within one batch, the verdict kept on the source gives way to the new list; its bucket,
  // four tokens left of five, keeps two under a burst of two.
  gate.startBatch();
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::Valid);
  gate.reconfigure(AllowList::loopback(), 5, 0, true);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::NotAllowed);
  gate.reconfigure(lans, 2, 0, true);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::Valid);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::Valid);
  EXPECT_EQ(check(gate, lan, valid), RequestCheck::RateLimited);
}
