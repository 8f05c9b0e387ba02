// The client against a peer that misbehaves in every way the protocol allows a datagram
// to: the client never takes a bad reply and never waits past its time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "QRVLPLUG.h"
#include "UdpPeer.h"
#include "WaitUntil.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

using namespace qrvltest;
namespace wire = qrvl::wire;
namespace record = qrvl::record;

namespace {
constexpr int kMarginMs = 250;

std::uint32_t sequenceOf(const Datagram& d) { return wire::loadLe32(d.data.data() + 8); }

// A reading whose CPU field carries `cpu`, so the test can tell which reply was taken.
std::vector<std::uint8_t> response(std::uint32_t sequence, double cpu, std::uint8_t status = wire::kStatusReading) {
  record::Reading reading{};
  for (double& v : reading.value) v = 1.0;
  reading.value[record::CpuTemp] = cpu;
  std::uint8_t rec[wire::kRecordSize];
  record::encode(reading, 1, rec);
  std::uint8_t bytes[wire::kResponseSize];
  wire::encodeResponse(sequence, status, rec, bytes);
  return {bytes, bytes + sizeof bytes};
}

LMDATA sentinel() {
  LMDATA d;
  std::memset(&d, 'Z', sizeof d);
  return d;
}

bool untouched(const LMDATA& d) {
  const LMDATA s = sentinel();
  return std::memcmp(&d, &s, sizeof d) == 0;
}

// Every kind of datagram the client must ignore while it waits for `request`'s answer.
std::vector<std::pair<std::string, std::function<void(UdpPeer&, const Datagram&)>>> foreignReplies() {
  using Send = std::function<void(UdpPeer&, const Datagram&)>;
  auto mutated = [](std::function<void(std::vector<std::uint8_t>&)> change) -> Send {
    return [change](UdpPeer& peer, const Datagram& request) {
      auto bytes = response(sequenceOf(request), 66.6);
      change(bytes);
      peer.sendTo(request, bytes);
    };
  };
  return {
      {"next sequence", mutated([](auto& b) { wire::storeLe32(b.data() + 8, wire::loadLe32(b.data() + 8) + 1); })},
      {"previous sequence", mutated([](auto& b) { wire::storeLe32(b.data() + 8, wire::loadLe32(b.data() + 8) - 1); })},
      {"119 bytes", mutated([](auto& b) { b.resize(119); })},
      {"121 bytes", mutated([](auto& b) { b.resize(121, 0); })},
      {"128 bytes", mutated([](auto& b) { b.resize(128, 0); })},
      {"empty", mutated([](auto& b) { b.clear(); })},
      {"magic", mutated([](auto& b) { b[0] = 'q'; })},
      {"version 0", mutated([](auto& b) { b[4] = 0; })},
      {"version 2", mutated([](auto& b) { b[4] = 2; })},
      {"type 0x01", mutated([](auto& b) { b[5] = 0x01; })},
      {"type 0x80", mutated([](auto& b) { b[5] = 0x80; })},
      {"the request echoed", [](UdpPeer& peer, const Datagram& r) { peer.sendTo(r, r.data); }},
      {"right reply from another port",
       [](UdpPeer&, const Datagram& r) { UdpPeer("127.0.0.1").sendTo(r, response(sequenceOf(r), 66.6)); }},
      {"right reply from another address",
       [](UdpPeer&, const Datagram& r) { UdpPeer("127.0.0.2").sendTo(r, response(sequenceOf(r), 66.6)); }},
  };
}

class HostilePeer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(plug_.Create(("127.0.0.1:" + std::to_string(peer_.port())).c_str())); }

  struct Outcome {
    int result;
    long long ms;
  };

  // Runs `script` as the peer while one Get waits up to `timeout`.
  Outcome get(unsigned timeout, const std::function<void()>& script) {
    std::thread peerThread(script);
    const auto start = std::chrono::steady_clock::now();
    const int result = plug_.Get(data_, timeout);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    peerThread.join();
    return {result, ms.count()};
  }

  Datagram receiveRequest() {
    auto request = peer_.receive(2000);
    EXPECT_TRUE(request);
    EXPECT_EQ(wire::checkRequest(request->data.data(), request->data.size()), wire::RequestCheck::Valid);
    return *request;
  }

  UdpPeer peer_{"127.0.0.1"};
  QRVLPLUG plug_;
  LMDATA data_ = sentinel();
};
}  // namespace

TEST_F(HostilePeer, IgnoresForeignDatagramsUntilTheAnswer) {
  // All foreign datagrams arrive first; the wait goes on, and the answer after them wins.
  const auto outcome = get(3000, [&] {
    const Datagram request = receiveRequest();
    for (const auto& [name, send] : foreignReplies()) send(peer_, request);
    peer_.sendTo(request, response(sequenceOf(request), 22.2));
  });
  EXPECT_EQ(outcome.result, 1) << plug_.LastFailure();
  EXPECT_STREQ(data_.CpuTemp, "22.2");
  EXPECT_STREQ(plug_.LastFailure(), "");
}

TEST_F(HostilePeer, NeverTakesABadReplyNorWaitsPastTheTimeout) {
  // Each foreign datagram alone: no success, the record untouched, the full time-out
  // waited and not more.
  for (const auto& [name, send] : foreignReplies()) {
    SCOPED_TRACE(name);
    data_ = sentinel();
    const auto outcome = get(200, [&, send = send] { send(peer_, receiveRequest()); });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(untouched(data_));
    EXPECT_GE(outcome.ms, 199);
    EXPECT_LE(outcome.ms, 200 + kMarginMs);
    EXPECT_NE(std::string(plug_.LastFailure()).find("no valid reply"), std::string::npos) << plug_.LastFailure();
  }
}

TEST_F(HostilePeer, AnAnswerWithoutAValidReadingFailsAtOnce) {
  // Status "no reading" (and any other non-zero status): the answer ends the wait, the Get fails.
  for (std::uint8_t status : {1, 2, 0xff}) {
    data_ = sentinel();
    const auto outcome = get(3000, [&] {
      const Datagram request = receiveRequest();
      peer_.sendTo(request, response(sequenceOf(request), 22.2, status));
    });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(untouched(data_));
    EXPECT_LT(outcome.ms, 1000);
  }
  EXPECT_NE(std::string(plug_.LastFailure()).find("no reading"), std::string::npos);

  // A text field of the six channels without its NUL.
  for (int channel = 0; channel < record::kCheckedChannels; ++channel) {
    data_ = sentinel();
    const auto outcome = get(3000, [&] {
      const Datagram request = receiveRequest();
      auto bytes = response(sequenceOf(request), 22.2);
      std::memcpy(bytes.data() + wire::kRecordOffset + channel * 8, "12345678", 8);
      peer_.sendTo(request, bytes);
    });
    EXPECT_EQ(outcome.result, 0) << channel;
    EXPECT_TRUE(untouched(data_)) << channel;
    EXPECT_LT(outcome.ms, 1000);
  }
}

TEST_F(HostilePeer, LateAndQueuedRepliesAreNotTakenForANewGet) {
  // The first Get gets no answer in time.
  Datagram first{};
  EXPECT_EQ(get(150, [&] { first = receiveRequest(); }).result, 0);

  // Its answer comes late: once before the next Get and once during it, ahead of that
  // Get's own answer, which is the one taken.
  peer_.sendTo(first, response(sequenceOf(first), 11.1));
  ASSERT_TRUE(waitUntil(2000, [&] { return queuedAt(sourcePort(first)) > 0; }));
  auto outcome = get(3000, [&] {
    const Datagram request = receiveRequest();
    EXPECT_EQ(sequenceOf(request), sequenceOf(first) + 1);
    peer_.sendTo(request, response(sequenceOf(first), 11.1));
    peer_.sendTo(request, response(sequenceOf(request), 22.2));
  });
  EXPECT_EQ(outcome.result, 1);
  EXPECT_STREQ(data_.CpuTemp, "22.2");

  // A reply already queued when a Get starts, even one with the very next sequence
  // number, is discarded before the request goes out.
  Datagram source{};
  outcome = get(3000, [&] {
    const Datagram request = receiveRequest();
    source = request;
    peer_.sendTo(request, response(sequenceOf(request), 33.3));
  });
  ASSERT_EQ(outcome.result, 1);
  peer_.sendTo(source, response(sequenceOf(source) + 1, 44.4));
  ASSERT_TRUE(waitUntil(2000, [&] { return queuedAt(sourcePort(source)) > 0; }));
  outcome = get(3000, [&] {
    const Datagram request = receiveRequest();
    EXPECT_EQ(sequenceOf(request), sequenceOf(source) + 1);
    peer_.sendTo(request, response(sequenceOf(request), 55.5));
  });
  EXPECT_EQ(outcome.result, 1);
  EXPECT_STREQ(data_.CpuTemp, "55.5");
}

TEST_F(HostilePeer, AFloodOfJunkStaysWithinTheTimeout) {
  // Junk to the requester from its request on, until stopped after the Get.
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread flooder;
  auto flood = [&](const Datagram& to) {
    stop = false;
    sent = 0;
    flooder = std::thread([&, to] {
      for (std::uint32_t state = 7; !stop; ++sent) {
        state = state * 1103515245u + 12345u;
        std::vector<std::uint8_t> junk(state % 200);
        for (auto& b : junk) b = static_cast<std::uint8_t>(state >>= 3);
        peer_.sendTo(to, junk);
        peer_.sendTo(to, response(sequenceOf(to) + 1 + (state & 0xff), 66.6));
      }
    });
  };

  // Junk for longer than the time-out: the Get fails on time.
  auto outcome = get(400, [&] { flood(receiveRequest()); });
  stop = true;
  flooder.join();
  EXPECT_EQ(outcome.result, 0);
  EXPECT_LE(outcome.ms, 400 + kMarginMs);
  EXPECT_TRUE(untouched(data_));

  // The answer amid the junk, sent once the client keeps pace (its queue short), is found.
  outcome = get(3000, [&] {
    const Datagram request = receiveRequest();
    flood(request);
    waitUntil(2000, [&] { return sent >= 1000 && queuedAt(sourcePort(request)) < 65536; });
    peer_.sendTo(request, response(sequenceOf(request), 22.2));
  });
  stop = true;
  flooder.join();
  EXPECT_EQ(outcome.result, 1);
  EXPECT_STREQ(data_.CpuTemp, "22.2");
}

TEST_F(HostilePeer, TimeoutsFromZeroToTheLargest) {
  // Zero: the request goes out, one look for an answer, no waiting.
  auto outcome = get(0, [&] { receiveRequest(); });
  EXPECT_EQ(outcome.result, 0);
  EXPECT_LE(outcome.ms, kMarginMs);

  // The largest values do not wrap around into an early time-out.
  for (unsigned timeout : {0x7fffffffu, 0x80000000u, 0xffffffffu}) {
    outcome = get(timeout, [&] {
      const Datagram request = receiveRequest();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      peer_.sendTo(request, response(sequenceOf(request), 22.2));
    });
    EXPECT_EQ(outcome.result, 1) << timeout;
    EXPECT_GE(outcome.ms, 190);
    EXPECT_LE(outcome.ms, 200 + kMarginMs);
  }
}

TEST_F(HostilePeer, SequenceNumbersAreFreshAndCountUp) {
  std::vector<std::uint32_t> seen;
  for (int i = 0; i < 5; ++i) {
    get(2000, [&] {
      const Datagram request = receiveRequest();
      seen.push_back(sequenceOf(request));
      peer_.sendTo(request, response(sequenceOf(request), 22.2));
    });
  }
  ASSERT_EQ(seen.size(), 5u);
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], seen[0] + i);

  // The first number is random: two connections do not start alike.
  QRVLPLUG other;
  ASSERT_TRUE(other.Create(("127.0.0.1:" + std::to_string(peer_.port())).c_str()));
  LMDATA d;
  EXPECT_EQ(other.Get(d, 0), 0);
  const auto request = peer_.receive(2000);
  ASSERT_TRUE(request);
  EXPECT_NE(sequenceOf(*request), seen.back() + 1);
  EXPECT_NE(sequenceOf(*request), seen[0]);
}

TEST_F(HostilePeer, CancelEndsAWaitingGetAndTheLaterOnes) {
  // From another thread, Cancel ends a Get that would wait a minute.
  auto outcome = get(60000, [&] {
    receiveRequest();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    plug_.Cancel();
  });
  EXPECT_EQ(outcome.result, 0);
  EXPECT_GE(outcome.ms, 100);
  EXPECT_LE(outcome.ms, 100 + 50 + kMarginMs);
  EXPECT_STREQ(plug_.LastFailure(), "cancelled");
  EXPECT_TRUE(untouched(data_));

  // Every later Get fails at once without sending, until the next Create.
  outcome = get(60000, [] {});
  EXPECT_EQ(outcome.result, 0);
  EXPECT_LE(outcome.ms, kMarginMs);
  EXPECT_FALSE(peer_.receive(100));
  ASSERT_TRUE(plug_.Create(("127.0.0.1:" + std::to_string(peer_.port())).c_str()));
  outcome = get(2000, [&] {
    const Datagram request = receiveRequest();
    peer_.sendTo(request, response(sequenceOf(request), 22.2));
  });
  EXPECT_EQ(outcome.result, 1);
}

TEST(HostilePeerPort, ARefusedPortFailsAtOnceAndTheSocketStaysUsable) {
  const std::uint16_t port = freePort();
  QRVLPLUG plug;
  ASSERT_TRUE(plug.Create(("127.0.0.1:" + std::to_string(port)).c_str()));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    // Nobody on the port: the port-unreachable ends the Get long before its time-out.
    LMDATA data = sentinel();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plug.Get(data, 5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_NE(std::string(plug.LastFailure()).find("refused"), std::string::npos) << plug.LastFailure();
    EXPECT_TRUE(untouched(data));

    // Somebody comes: the same object reads normally.
    UdpPeer peer("127.0.0.1", port);
    std::thread script([&] {
      const auto request = peer.receive(2000);
      if (request) peer.sendTo(*request, response(sequenceOf(*request), 22.2));
    });
    EXPECT_EQ(plug.Get(data, 3000), 1) << plug.LastFailure();
    script.join();
    EXPECT_STREQ(data.CpuTemp, "22.2");
  }
}
