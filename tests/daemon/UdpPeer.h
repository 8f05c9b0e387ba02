#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrvltest {

// The address the tests' daemons listen on and their clients send from.
inline constexpr char kLoopback[] = "127.0.0.1";
// "127.0.0.1:port", as --metrics, qrvlget and curl take it.
std::string loopbackAt(std::uint16_t port);

struct Datagram {
  std::vector<std::uint8_t> data;
  sockaddr_storage from;
  socklen_t fromLength;
};

// A request of the protocol with this sequence number.
std::vector<std::uint8_t> request(std::uint32_t sequence);

// A datagram socket bound to a loopback address, playing either side of the protocol.
class UdpPeer {
 public:
  // Binds to `address` (an IPv4 or IPv6 literal) and `port` (0: any free port); aborts
  // the test program if that fails.
  explicit UdpPeer(const std::string& address = kLoopback, std::uint16_t port = 0);
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  std::uint16_t port() const { return port_; }

  void sendTo(const std::string& address, std::uint16_t port, const std::vector<std::uint8_t>& data);
  void sendTo(std::uint16_t port, const std::vector<std::uint8_t>& data) { sendTo(kLoopback, port, data); }
  void sendTo(const Datagram& to, const std::vector<std::uint8_t>& data);
  // The next datagram within `timeoutMs`, or none.
  std::optional<Datagram> receive(int timeoutMs);
  // Sends request(sequence) to `port` on loopback and receives what comes within `timeoutMs`.
  std::optional<Datagram> ask(std::uint16_t port, std::uint32_t sequence, int timeoutMs = 2000) {
    sendTo(port, request(sequence));
    return receive(timeoutMs);
  }

 private:
  int fd_;
  int family_;
  std::uint16_t port_;
};

// A datagram with one byte changed, or cut or padded with zeros to `size`.
std::vector<std::uint8_t> withByte(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value);
std::vector<std::uint8_t> withSize(std::vector<std::uint8_t> bytes, std::size_t size);
// A port that was free a moment ago for UDP on 127.0.0.1 and ::1 and for TCP on 127.0.0.1.
std::uint16_t freePort();
std::uint16_t sourcePort(const Datagram& d);
// Bytes queued for reading on the IPv4 datagram socket of `port`, as /proc/net/udp shows.
unsigned long queuedAt(std::uint16_t port);
std::string sourceAddress(const Datagram& d);

}  // namespace qrvltest
