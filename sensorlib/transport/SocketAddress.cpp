// Name resolution, address comparison and display, the same over both socket APIs.
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#endif

#include <cstring>
#include <string>
#include <vector>

#include "transport/SocketApi.h"

namespace qrvl::sockapi {

namespace {
sockaddr_storage unpack(const Address& a) {
  sockaddr_storage s{};
  std::memcpy(&s, a.bytes, static_cast<std::size_t>(a.length));
  return s;
}
}  // namespace

bool resolve(const HostPort& host, Transport transport, std::vector<Address>& addresses, int& error,
             std::string& detail) {
  const bool stream = transport == Transport::Stream;
  addrinfo hints{};
  hints.ai_family = host.bracketed ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = stream ? SOCK_STREAM : SOCK_DGRAM;
  hints.ai_protocol = stream ? IPPROTO_TCP : IPPROTO_UDP;
  hints.ai_flags = AI_NUMERICSERV | (host.bracketed ? AI_NUMERICHOST : 0);
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(host.name.c_str(), std::to_string(host.port).c_str(), &hints, &list);
  if (rc != 0) {
#if defined(_WIN32)
    error = rc;
    detail = errorText(rc);
#else
    error = rc == EAI_SYSTEM ? errno : 0;
    detail = gai_strerror(rc);
#endif
    return false;
  }
  addresses.clear();
  for (const addrinfo* ai : inTryOrder(list, AF_INET)) {
    if (ai->ai_addrlen > sizeof(Address::bytes)) continue;
    Address a{};
    std::memcpy(a.bytes, ai->ai_addr, ai->ai_addrlen);
    a.length = static_cast<int>(ai->ai_addrlen);
    addresses.push_back(a);
  }
  freeaddrinfo(list);
  return true;
}

bool sameAddress(const Address& a, const Address& b) {
  const sockaddr_storage x = unpack(a);
  const sockaddr_storage y = unpack(b);
  if (x.ss_family != y.ss_family) return false;
  if (x.ss_family == AF_INET) {
    const auto& p = reinterpret_cast<const sockaddr_in&>(x);
    const auto& q = reinterpret_cast<const sockaddr_in&>(y);
    return p.sin_port == q.sin_port && p.sin_addr.s_addr == q.sin_addr.s_addr;
  }
  if (x.ss_family == AF_INET6) {
    const auto& p = reinterpret_cast<const sockaddr_in6&>(x);
    const auto& q = reinterpret_cast<const sockaddr_in6&>(y);
    return p.sin6_port == q.sin6_port && std::memcmp(&p.sin6_addr, &q.sin6_addr, sizeof p.sin6_addr) == 0;
  }
  return false;
}

std::string addressText(const Address& a) {
  sockaddr_storage s = unpack(a);
  char text[INET6_ADDRSTRLEN] = "?";
  if (s.ss_family == AF_INET) {
    auto& v4 = reinterpret_cast<sockaddr_in&>(s);
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(v4.sin_port));
  }
  auto& v6 = reinterpret_cast<sockaddr_in6&>(s);
  inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
  return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6.sin6_port));
}

}  // namespace qrvl::sockapi
