// Prints, in one run: Get round-trip percentiles against qrvld and against a bare UDP
// echo on loopback, the requests per second one qrvld serves on one core, and its
// resident memory.
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DaemonProcess.h"
#include "QRVLPLUG.h"
#include "UdpPeer.h"
#include "qrvl/Wire.h"

using Clock = std::chrono::steady_clock;
using qrvltest::DaemonProcess;

namespace {
constexpr int kRoundTrips = 20000;
constexpr int kServerCpu = 0;
constexpr int kClientCpu = 1;
constexpr int kInFlight = 256;
constexpr int kBatch = 64;
constexpr double kLoadSeconds = 3.0;

void pin(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  sched_setaffinity(0, sizeof set, &set);
}

struct Percentiles {
  double p50;
  double p99;
};

Percentiles percentiles(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

// A UDP socket on 127.0.0.1 connected to `port`.
int connectedSocket(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  return fd;
}

Percentiles getRoundTrips(std::uint16_t port) {
  QRVLPLUG plug;
  plug.Create(("127.0.0.1:" + std::to_string(port)).c_str());
  LMDATA data;
  std::vector<double> us;
  for (int i = 0; i < kRoundTrips + 1000; ++i) {
    const auto start = Clock::now();
    if (!plug.Get(data, 1000)) {
      std::fprintf(stderr, "Get failed: %s\n", plug.LastFailure());
      continue;
    }
    if (i >= 1000) us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return percentiles(us);
}

// A child process that sends every datagram back, on the daemon's processor.
pid_t startEcho(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  socklen_t length = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
  port = ntohs(sa.sin_port);
  const pid_t pid = fork();
  if (pid == 0) {
    pin(kServerCpu);
    std::uint8_t buffer[2048];
    for (;;) {
      sockaddr_storage from;
      socklen_t fromLength = sizeof from;
      const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (n >= 0) sendto(fd, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
  }
  close(fd);
  return pid;
}

// The same round trip as Get, with none of its checks: send 128 bytes, wait, receive.
Percentiles echoRoundTrips(std::uint16_t port) {
  const int fd = connectedSocket(port);
  std::uint8_t request[qrvl::wire::kRequestSize];
  std::uint8_t reply[2048];
  std::vector<double> us;
  for (int i = 0; i < kRoundTrips + 1000; ++i) {
    qrvl::wire::encodeRequest(static_cast<std::uint32_t>(i), request);
    const auto start = Clock::now();
    send(fd, request, sizeof request, 0);
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 1000);
    recv(fd, reply, sizeof reply, MSG_DONTWAIT);
    if (i >= 1000) us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  close(fd);
  return percentiles(us);
}

double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;
  double utime = 0;
  double stime = 0;
  fields >> utime >> stime;
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string vmRss(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 6));
  }
  return "?";
}

// Keeps kInFlight requests outstanding for kLoadSeconds, in batches of system calls so the
// client costs less than the daemon; returns the answers per second.
double load(std::uint16_t port) {
  const int fd = connectedSocket(port);
  int size = 4 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  std::vector<std::vector<std::uint8_t>> requests(kBatch);
  std::vector<std::uint8_t> replies(kBatch * 256);
  std::vector<iovec> sendIov(kBatch);
  std::vector<iovec> recvIov(kBatch);
  std::vector<mmsghdr> sendMsgs(kBatch);
  std::vector<mmsghdr> recvMsgs(kBatch);
  for (int i = 0; i < kBatch; ++i) {
    requests[i] = qrvltest::request(static_cast<std::uint32_t>(i));
    sendIov[i] = {requests[i].data(), requests[i].size()};
    recvIov[i] = {replies.data() + i * 256, 256};
    sendMsgs[i] = {};
    sendMsgs[i].msg_hdr.msg_iov = &sendIov[i];
    sendMsgs[i].msg_hdr.msg_iovlen = 1;
    recvMsgs[i] = {};
    recvMsgs[i].msg_hdr.msg_iov = &recvIov[i];
    recvMsgs[i].msg_hdr.msg_iovlen = 1;
  }
  for (int sent = 0; sent < kInFlight; sent += kBatch) sendmmsg(fd, sendMsgs.data(), kBatch, 0);
  long long answered = 0;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(kLoadSeconds);
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) == 0) {
      // Requests lost to a full queue are replaced so the window stays full.
      sendmmsg(fd, sendMsgs.data(), kBatch, 0);
      continue;
    }
    const int n = recvmmsg(fd, recvMsgs.data(), kBatch, MSG_DONTWAIT, nullptr);
    if (n <= 0) continue;
    answered += n;
    sendmmsg(fd, sendMsgs.data(), static_cast<unsigned>(n), 0);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  close(fd);
  return static_cast<double>(answered) / seconds;
}
}  // namespace

int main() {
  pin(kClientCpu);
  DaemonProcess daemon({"--listen", "127.0.0.1"}, 0, kServerCpu);
  std::string error;
  if (!daemon.start(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::string idleRss = vmRss(daemon.pid());

  const Percentiles qrvld = getRoundTrips(daemon.port());
  std::uint16_t echoPort = 0;
  const pid_t echo = startEcho(echoPort);
  const Percentiles bare = echoRoundTrips(echoPort);
  kill(echo, SIGKILL);
  waitpid(echo, nullptr, 0);

  const double cpuBefore = cpuSeconds(daemon.pid());
  const auto loadStart = Clock::now();
  const double rate = load(daemon.port());
  const double wall = std::chrono::duration<double>(Clock::now() - loadStart).count();
  const double busy = (cpuSeconds(daemon.pid()) - cpuBefore) / wall;
  const std::string loadedRss = vmRss(daemon.pid());

  std::printf("Get round trip on loopback, %d requests each (server on cpu %d, client on cpu %d)\n", kRoundTrips,
              kServerCpu, kClientCpu);
  std::printf("  %-28s %10s %10s\n", "", "p50 (us)", "p99 (us)");
  std::printf("  %-28s %10.1f %10.1f\n", "qrvld, QRVLPLUG::Get", qrvld.p50, qrvld.p99);
  std::printf("  %-28s %10.1f %10.1f\n", "bare UDP echo, send+poll+recv", bare.p50, bare.p99);
  std::printf("  %-28s %10.2f %10.2f\n", "ratio qrvld / echo", qrvld.p50 / bare.p50, qrvld.p99 / bare.p99);
  std::printf("Throughput of one qrvld on one core, %d requests in flight for %.0f s:\n", kInFlight, kLoadSeconds);
  std::printf("  %.0f requests/s answered, daemon busy %.0f%% of its core -> %.0f requests per core-second\n", rate,
              busy * 100, busy > 0 ? rate / busy : 0.0);
  std::printf("qrvld resident memory (VmRSS): %s idle, %s after the load\n", idleRss.c_str(), loadedRss.c_str());
  return daemon.stop() == 0 ? 0 : 1;
}
