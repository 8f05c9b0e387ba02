#include "net/IpAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace qrvld {

namespace {
constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
}

bool IpAddress::parse(const std::string& text, IpAddress& out) {
  IpAddress a;
  in_addr v4{};
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
    std::memcpy(a.bytes_, kMappedPrefix, sizeof kMappedPrefix);
    std::memcpy(a.bytes_ + 12, &v4, 4);
    out = a;
    return true;
  }
  std::string inner = text;
  if (inner.size() >= 2 && inner.front() == '[' && inner.back() == ']') inner = inner.substr(1, inner.size() - 2);
  if (inet_pton(AF_INET6, inner.c_str(), a.bytes_) == 1) {
    out = a;
    return true;
  }
  return false;
}

IpAddress IpAddress::fromSockaddr(const sockaddr* address) {
  IpAddress a;
  if (address->sa_family == AF_INET) {
    std::memcpy(a.bytes_, kMappedPrefix, sizeof kMappedPrefix);
    std::memcpy(a.bytes_ + 12, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
  } else if (address->sa_family == AF_INET6) {
    std::memcpy(a.bytes_, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, 16);
  }
  return a;
}

bool IpAddress::isV4() const { return std::memcmp(bytes_, kMappedPrefix, sizeof kMappedPrefix) == 0; }

bool IpAddress::isLoopback() const {
  if (isV4()) return bytes_[12] == 127;
  static const std::uint8_t kV6Loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  return std::memcmp(bytes_, kV6Loopback, 16) == 0;
}

bool IpAddress::isUnspecified() const {
  static const std::uint8_t kZero[16] = {};
  if (isV4()) return std::memcmp(bytes_ + 12, kZero, 4) == 0;
  return std::memcmp(bytes_, kZero, 16) == 0;
}

bool IpAddress::inPrefix(const IpAddress& prefix, int bits) const {
  return masked(bits) == prefix.masked(bits);
}

IpAddress IpAddress::masked(int bits) const {
  IpAddress a = *this;
  for (int i = 0; i < 16; ++i) {
    const int keep = bits - 8 * i;
    if (keep <= 0) {
      a.bytes_[i] = 0;
    } else if (keep < 8) {
      a.bytes_[i] &= static_cast<std::uint8_t>(0xff << (8 - keep));
    }
  }
  return a;
}

std::string IpAddress::text() const {
  char buffer[INET6_ADDRSTRLEN] = "";
  if (isV4()) {
    inet_ntop(AF_INET, bytes_ + 12, buffer, sizeof buffer);
  } else {
    inet_ntop(AF_INET6, bytes_, buffer, sizeof buffer);
  }
  return buffer;
}

std::string IpAddress::textWithPort(std::uint16_t port) const {
  return (isV4() ? text() : "[" + text() + "]") + ":" + std::to_string(port);
}

socklen_t IpAddress::toSockaddr(std::uint16_t port, sockaddr_storage& out) const {
  out = {};
  if (isV4()) {
    auto& sa = reinterpret_cast<sockaddr_in&>(out);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr, bytes_ + 12, 4);
    return sizeof sa;
  }
  auto& sa = reinterpret_cast<sockaddr_in6&>(out);
  sa.sin6_family = AF_INET6;
  sa.sin6_port = htons(port);
  std::memcpy(&sa.sin6_addr, bytes_, 16);
  return sizeof sa;
}

bool IpAddress::operator==(const IpAddress& other) const {
  return std::memcmp(bytes_, other.bytes_, 16) == 0;
}

}  // namespace qrvld
