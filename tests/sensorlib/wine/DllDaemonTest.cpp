// QRVLPLUG.dll under wine against the native qrvld; the daemon's host text is the first
// argument after GoogleTest's own.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "QRVLPLUG.h"

namespace {
std::string daemonHost;

// A datagram socket on a free loopback port that never answers; once closed, its port
// has nobody on it.
class SilentPort {
 public:
  SilentPort() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int length = sizeof sa;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&sa), &length);
    host_ = "127.0.0.1:" + std::to_string(ntohs(sa.sin_port));
  }
  ~SilentPort() {
    close();
    WSACleanup();
  }
  void close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  const char* host() const { return host_.c_str(); }

 private:
  SOCKET socket_;
  std::string host_;
};

long long msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

TEST(Dll, ReadsTheNativeDaemon) {
  // Several readings through one object, each with six terminated decimal texts.
  QRVLPLUG plug;
  ASSERT_NE(plug.Create(daemonHost.c_str()), 0) << plug.LastFailure();
  for (int i = 0; i < 5; ++i) {
    LMDATA data;
    std::memset(&data, 'Z', sizeof data);
    ASSERT_NE(plug.Get(data, 2000), 0) << plug.LastFailure();
    for (const char* field : {data.CpuTemp, data.PwrTemp, data.SysTemp, data.Vcore, data.Vtt, data.Vio}) {
      ASSERT_NE(std::memchr(field, 0, 8), nullptr);
      EXPECT_GT(std::strlen(field), 2u);
      EXPECT_NE(std::strchr(field, '.'), nullptr) << field;
    }
    EXPECT_GT(std::atof(data.CpuTemp), 25.0);
    EXPECT_LT(std::atof(data.CpuTemp), 62.0);
  }

  // The largest time-out does not wrap into an early failure.
  LMDATA data;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(plug.Get(data, 0xffffffffu), 0) << plug.LastFailure();
  EXPECT_LT(msSince(start), 1000);
  plug.Destroy();
  plug.Destroy();
}

TEST(Dll, CallsAcrossTheBoundaryKeepToTheClassLayout) {
  // The object in a buffer with guard bytes behind it: the library's members write only
  // inside the bytes this program's header gives the class (720 in the 32-bit build).
  constexpr std::size_t kGuard = 64;
  alignas(QRVLPLUG) unsigned char buffer[sizeof(QRVLPLUG) + kGuard];
  std::memset(buffer, 0xA5, sizeof buffer);
  const auto guardIntact = [&] {
    for (std::size_t i = sizeof(QRVLPLUG); i < sizeof buffer; ++i)
      if (buffer[i] != 0xA5) return false;
    return true;
  };
  QRVLPLUG* plug = new (buffer) QRVLPLUG;
  EXPECT_EQ(plug->Create("bad host:"), 0);
  // The failure text the library wrote lies where the header puts it, after two ints.
  EXPECT_EQ(plug->LastFailure(), reinterpret_cast<const char*>(buffer) + 2 * sizeof(int));
  EXPECT_STRNE(plug->LastFailure(), "");
  ASSERT_NE(plug->Create(daemonHost.c_str()), 0) << plug->LastFailure();
  LMDATA data;
  ASSERT_NE(plug->Get(data, 2000), 0) << plug->LastFailure();
  EXPECT_TRUE(guardIntact());

  // The library's copy operators copy every byte; the copy is then overwritten with a
  // fresh object, so that only the original closes the socket.
  QRVLPLUG copy;
  copy = *plug;
  EXPECT_EQ(std::memcmp(&copy, plug, sizeof copy), 0);
  copy = QRVLPLUG();
  SOCKLIB& base = copy;
  base = *plug;
  EXPECT_EQ(std::memcmp(&copy, plug, sizeof(SOCKLIB)), 0);
  UDPCSock socketCopy;
  UDPCSock fresh{};
  std::memset(static_cast<void*>(&socketCopy), 0x5A, sizeof socketCopy);
  socketCopy = fresh;
  EXPECT_EQ(std::memcmp(&socketCopy, &fresh, sizeof fresh), 0);
  copy = QRVLPLUG();

  plug->Destroy();
  EXPECT_EQ(plug->Get(data, 100), 0);
  plug->~QRVLPLUG();
  EXPECT_TRUE(guardIntact());
}

TEST(Dll, CancelEndsAWaitingGet) {
  // A Get with a long time-out to a port that never answers, ended from another thread.
  SilentPort silent;
  QRVLPLUG plug;
  ASSERT_NE(plug.Create(silent.host()), 0) << plug.LastFailure();
  std::thread canceller([&] {
    Sleep(200);
    plug.Cancel();
  });
  LMDATA data;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(plug.Get(data, 60000), 0);
  canceller.join();
  EXPECT_GE(msSince(start), 190);
  EXPECT_LE(msSince(start), 200 + 50 + 250);
  EXPECT_STREQ(plug.LastFailure(), "cancelled");
  EXPECT_EQ(plug.Get(data, 60000), 0);
  EXPECT_LE(msSince(start), 200 + 50 + 250 + 250);
}

TEST(Dll, FailsCleanlyWithoutADaemon) {
  // Nobody on the port: the first Get may only see its time-out under wine, later ones
  // the refusal; none waits past its time-out, and the object stays usable.
  SilentPort gone;
  gone.close();
  QRVLPLUG plug;
  ASSERT_NE(plug.Create(gone.host()), 0) << plug.LastFailure();
  for (int i = 0; i < 3; ++i) {
    LMDATA data;
    std::memset(&data, 'Z', sizeof data);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plug.Get(data, 500), 0);
    EXPECT_LE(msSince(start), 500 + 250);
    EXPECT_STRNE(plug.LastFailure(), "");
    EXPECT_EQ(data.CpuTemp[0], 'Z');
  }

  // Bad host texts, Get and Destroy without a successful Create.
  QRVLPLUG bad;
  EXPECT_EQ(bad.Create("localhost:0"), 0);
  EXPECT_EQ(bad.Create(""), 0);
  LMDATA data;
  EXPECT_EQ(bad.Get(data, 1000), 0);
  bad.Destroy();
  bad.Destroy();
  QRVLPLUG never;
  never.Destroy();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s HOST:PORT (a running qrvld)\n", argv[0]);
    return 2;
  }
  daemonHost = argv[1];
  return RUN_ALL_TESTS();
}
