#include "UdpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

#include "TempFiles.h"
#include "qrvl/Wire.h"

namespace qrvltest {

namespace {
[[noreturn]] void die(const char* what) {
  std::perror(what);
  std::abort();
}

socklen_t fill(const std::string& address, std::uint16_t port, sockaddr_storage& out) {
  std::memset(&out, 0, sizeof out);
  auto& v4 = reinterpret_cast<sockaddr_in&>(out);
  if (inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    return sizeof v4;
  }
  auto& v6 = reinterpret_cast<sockaddr_in6&>(out);
  if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) != 1) die(address.c_str());
  v6.sin6_family = AF_INET6;
  v6.sin6_port = htons(port);
  return sizeof v6;
}
}  // namespace

UdpPeer::UdpPeer(const std::string& address, std::uint16_t port) {
  sockaddr_storage sa;
  const socklen_t length = fill(address, port, sa);
  family_ = sa.ss_family;
  fd_ = socket(family_, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) die("socket");
  if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), length) != 0) die("bind");
  Datagram self{{}, {}, sizeof self.from};
  getsockname(fd_, reinterpret_cast<sockaddr*>(&self.from), &self.fromLength);
  port_ = sourcePort(self);
}

UdpPeer::~UdpPeer() { close(fd_); }

std::string loopbackAt(std::uint16_t port) { return std::string(kLoopback) + ":" + std::to_string(port); }

void UdpPeer::sendTo(const std::string& address, std::uint16_t port, const std::vector<std::uint8_t>& data) {
  Datagram to{};
  to.fromLength = fill(address, port, to.from);
  sendTo(to, data);
}

void UdpPeer::sendTo(const Datagram& to, const std::vector<std::uint8_t>& data) {
  if (sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to.from), to.fromLength) < 0) {
    die("sendto");
  }
}

std::optional<Datagram> UdpPeer::receive(int timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
  Datagram d{};
  d.data.resize(65536);
  d.fromLength = sizeof d.from;
  const ssize_t n = recvfrom(fd_, d.data.data(), d.data.size(), 0, reinterpret_cast<sockaddr*>(&d.from),
                             &d.fromLength);
  if (n < 0) return std::nullopt;
  d.data.resize(static_cast<std::size_t>(n));
  return d;
}

std::vector<std::uint8_t> request(std::uint32_t sequence) {
  std::uint8_t bytes[qrvl::wire::kRequestSize];
  qrvl::wire::encodeRequest(sequence, bytes);
  return {bytes, bytes + sizeof bytes};
}

std::vector<std::uint8_t> withByte(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

std::vector<std::uint8_t> withSize(std::vector<std::uint8_t> bytes, std::size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

namespace {
// True when `type` sockets can bind `port` on `address` now.
bool bindable(const char* address, int type, std::uint16_t port) {
  sockaddr_storage sa;
  const socklen_t length = fill(address, port, sa);
  const int fd = socket(sa.ss_family, type | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const bool ok = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&sa), length) == 0;
  close(fd);
  return ok;
}
}  // namespace

std::uint16_t freePort() {
  // Below the ephemeral range, so that no client socket (nor its TIME_WAIT) takes the port
  // between this choice and the daemon's bind.
  int low = 32768;
  if (FILE* range = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r")) {
    if (std::fscanf(range, "%d", &low) != 1) low = 32768;
    std::fclose(range);
  }
  const int first = 10000;
  const int count = low > first + 1000 ? low - first : 20000;
  static unsigned seed = static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr));
  for (;;) {
    const auto port = static_cast<std::uint16_t>(first + rand_r(&seed) % count);
    if (bindable(kLoopback, SOCK_DGRAM, port) && bindable("::1", SOCK_DGRAM, port) &&
        bindable(kLoopback, SOCK_STREAM, port)) {
      return port;
    }
  }
}

std::uint16_t sourcePort(const Datagram& d) {
  return ntohs(d.from.ss_family == AF_INET ? reinterpret_cast<const sockaddr_in&>(d.from).sin_port
                                           : reinterpret_cast<const sockaddr_in6&>(d.from).sin6_port);
}

std::string sourceAddress(const Datagram& d) {
  char text[INET6_ADDRSTRLEN] = "";
  if (d.from.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(d.from).sin_addr, text, sizeof text);
  } else {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(d.from).sin6_addr, text, sizeof text);
  }
  return text;
}

unsigned long queuedAt(std::uint16_t port) {
  std::istringstream table(readFile("/proc/net/udp"));
  for (std::string line; std::getline(table, line);) {
    unsigned localPort = 0;
    unsigned long queued = 0;
    if (std::sscanf(line.c_str(), " %*u: %*x:%x %*x:%*x %*x %*x:%lx", &localPort, &queued) == 2 && localPort == port) {
      return queued;
    }
  }
  return 0;
}

}  // namespace qrvltest
