#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace qrvld {

// An IPv4 or IPv6 address. IPv4 is kept in its IPv4-mapped IPv6 form, so prefixes and
// table keys work the same for both families.
class IpAddress {
 public:
  // Accepts an IPv4 or IPv6 literal, the latter optionally in brackets.
  static bool parse(const std::string& text, IpAddress& out);
  // From a sockaddr_in or sockaddr_in6; an IPv4-mapped IPv6 source counts as IPv4.
  static IpAddress fromSockaddr(const sockaddr* address);

  bool isV4() const;
  bool isLoopback() const;
  bool isUnspecified() const;
  const std::uint8_t* bytes() const { return bytes_; }
  // True when the first `bits` bits (of the 128-bit form) equal those of `prefix`.
  bool inPrefix(const IpAddress& prefix, int bits) const;
  // The address with every bit after the first `bits` cleared.
  IpAddress masked(int bits) const;
  std::string text() const;
  // "192.0.2.1:27183", "[2001:db8::1]:27183": where a socket listens, as the log says it.
  std::string textWithPort(std::uint16_t port) const;
  // The sockaddr_in or sockaddr_in6 of the address and `port`, for bind(); returns its length.
  socklen_t toSockaddr(std::uint16_t port, sockaddr_storage& out) const;
  bool operator==(const IpAddress& other) const;

 private:
  std::uint8_t bytes_[16] = {};
};

}  // namespace qrvld
