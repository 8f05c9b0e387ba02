// The library against the real qrvld on loopback, and its life cycle.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>

#include "DaemonProcess.h"
#include "QRVLPLUG.h"
#include "transport/SocketApi.h"
#include "UdpPeer.h"
#include "qrvl/Record.h"

using namespace qrvltest;

namespace {
double value(const char* field) {
  double v = -1e9;
  std::from_chars(field, field + strnlen(field, 8), v);
  return v;
}
}  // namespace

TEST(ClientDaemon, ReadsTheDaemonThroughEveryHostForm) {
  DaemonProcess daemon({"--cadence", "100"});
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;
  const std::string port = std::to_string(daemon.port());

  // Names, IPv4 and IPv6 literals, bracketed or not (a bare IPv6 literal takes the
  // default port, which only the name forms can avoid here).
  for (const std::string& host : {"127.0.0.1:" + port, "[::1]:" + port, "localhost:" + port}) {
    SCOPED_TRACE(host);
    QRVLPLUG plug;
    ASSERT_TRUE(plug.Create(host.c_str())) << plug.LastFailure();
    for (int i = 0; i < 3; ++i) {
      LMDATA data;
      std::memset(&data, 'Z', sizeof data);
      ASSERT_EQ(plug.Get(data, 2000), 1) << plug.LastFailure();
      for (const char* field : {data.CpuTemp, data.PwrTemp, data.SysTemp, data.Vcore, data.Vtt, data.Vio}) {
        EXPECT_NE(std::memchr(field, 0, 8), nullptr);
      }
      EXPECT_GT(value(data.CpuTemp), 25.0);
      EXPECT_LT(value(data.CpuTemp), 62.0);
      EXPECT_NEAR(value(data.Vcore), 1.2, 0.05);
      EXPECT_GE(value(data.Fan1), 800.0);
      EXPECT_EQ(std::string(data.Vtt).size(), 5u);  // "%.3f" of about a volt
      EXPECT_GT(qrvl::record::sampleTime(reinterpret_cast<const std::uint8_t*>(&data)), 1600000000000ULL);
    }
  }
}

TEST(ClientDaemon, RefusedWhileTheDaemonIsDownThenReadsAgain) {
  const std::uint16_t port = freePort();
  QRVLPLUG plug;
  ASSERT_TRUE(plug.Create(("127.0.0.1:" + std::to_string(port)).c_str()));
  LMDATA data;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plug.Get(data, 5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));

    DaemonProcess daemon({"--listen", "127.0.0.1"}, port);
    std::string error;
    ASSERT_TRUE(daemon.start(error)) << error;
    EXPECT_EQ(plug.Get(data, 2000), 1) << plug.LastFailure();
    EXPECT_EQ(daemon.stop(), 0);
  }
}

TEST(ClientDaemon, CreateGetDestroyLifeCycle) {
  // Failed Create: bad texts, a name that does not resolve; each with a reason.
  for (const char* host : {"", ":27183", "localhost:0", "localhost:65536", "[::1", "[]", "name.invalid"}) {
    QRVLPLUG plug;
    EXPECT_EQ(plug.Create(host), 0) << host;
    EXPECT_STRNE(plug.LastFailure(), "") << host;
    // Get after a failed Create fails at once; Destroy is harmless, also twice.
    LMDATA data;
    EXPECT_EQ(plug.Get(data, 5000), 0);
    plug.Destroy();
    plug.Destroy();
  }
  QRVLPLUG nullHost;
  EXPECT_EQ(nullHost.Create(nullptr), 0);

  // Destroy without Create, Get without Create.
  {
    QRVLPLUG plug;
    plug.Destroy();
    LMDATA data;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plug.Get(data, 5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  }

  // After Destroy the object can be created again; Create on a live object starts over.
  DaemonProcess daemon;
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;
  const std::string host = "127.0.0.1:" + std::to_string(daemon.port());
  QRVLPLUG plug;
  LMDATA data;
  ASSERT_TRUE(plug.Create(host.c_str()));
  EXPECT_EQ(plug.Get(data, 2000), 1);
  plug.Destroy();
  EXPECT_EQ(plug.Get(data, 2000), 0);
  ASSERT_TRUE(plug.Create(host.c_str()));
  ASSERT_TRUE(plug.Create(host.c_str()));
  EXPECT_EQ(plug.Get(data, 2000), 1);

  // Copy assignment copies every byte of the object.
  QRVLPLUG copy;
  copy = plug;
  EXPECT_EQ(std::memcmp(static_cast<const void*>(&copy), static_cast<const void*>(&plug), sizeof plug), 0);
  // The copy holds the bytes but not the socket; a fresh object's bytes replace them.
  copy = QRVLPLUG();
  EXPECT_EQ(plug.Get(data, 2000), 1);
}

// A copy of a connected object, by its byte-copy assignment, owns no source: its Get fails
// and says so rather than sharing the original's, and destroying the two in either order
// frees nothing twice (the native-asan build checks that, and that nothing leaks).
TEST(ClientDaemon, ACopyOwnsNoSource) {
  DaemonProcess daemon;
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;
  const std::string port = std::to_string(daemon.port());
  // A web server's address connects at the first Get, so its Create needs no server.
  for (const std::string& host : {"127.0.0.1:" + port, "http://127.0.0.1:" + port + "/"}) {
    SCOPED_TRACE(host);
    for (bool originalFirst : {true, false}) {
      auto original = std::make_unique<QRVLPLUG>();
      auto copy = std::make_unique<QRVLPLUG>();
      ASSERT_TRUE(original->Create(host.c_str())) << original->LastFailure();
      *copy = *original;
      LMDATA data;
      EXPECT_EQ(copy->Get(data, 2000), 0);
      EXPECT_NE(std::strstr(copy->LastFailure(), "a copy of a connected object"), nullptr) << copy->LastFailure();
      (originalFirst ? original : copy).reset();
      QRVLPLUG& left = originalFirst ? *copy : *original;
      EXPECT_EQ(left.Get(data, 2000), originalFirst || host[0] == 'h' ? 0 : 1) << left.LastFailure();
    }
  }

  // Taking a copy releases the object's own source first; its own Create then reads again.
  const std::string host = "127.0.0.1:" + port;
  QRVLPLUG first;
  QRVLPLUG second;
  ASSERT_TRUE(first.Create(host.c_str()));
  ASSERT_TRUE(second.Create(host.c_str()));
  second = first;
  ASSERT_TRUE(second.Create(host.c_str()));
  LMDATA data;
  EXPECT_EQ(second.Get(data, 2000), 1) << second.LastFailure();
  EXPECT_EQ(first.Get(data, 2000), 1) << first.LastFailure();
}

// A name that resolves to both families is tried IPv4 first, each family in the resolver's
// order: a datagram socket connects to any address, so the first one tried is the one used.
TEST(ClientAddresses, IPv4IsTriedFirst) {
  struct Resolved {
    int ai_family;
    const Resolved* ai_next;
  };
  const Resolved v4b{AF_INET, nullptr}, v6b{AF_INET6, &v4b}, v4a{AF_INET, &v6b}, v6a{AF_INET6, &v4a};
  const std::vector<const Resolved*> expected = {&v4a, &v4b, &v6a, &v6b};
  EXPECT_EQ(qrvl::sockapi::inTryOrder(&v6a, AF_INET), expected);
  EXPECT_TRUE(qrvl::sockapi::inTryOrder<Resolved>(nullptr, AF_INET).empty());
}
