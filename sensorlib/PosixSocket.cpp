// Datagram and stream sockets over the POSIX API (Linux).
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <string>
#include <vector>

#include "SocketApi.h"

namespace qrvl::sockapi {

static_assert(sizeof(sockaddr_in6) <= sizeof(Address::bytes), "Address holds an IPv6 address");

namespace {
int toFd(Handle handle) { return static_cast<int>(handle); }

// A refused port shows as ECONNREFUSED on a connected socket once the ICMP error is in.
bool isRefused(int error) { return error == ECONNREFUSED; }

WaitResult waitFor(int fd, short events, int milliseconds, int& error) {
  pollfd entry{fd, events, 0};
  const int n = poll(&entry, 1, milliseconds);
  if (n > 0) return WaitResult::Ready;
  if (n == 0) return WaitResult::TimedOut;
  // An interrupted wait is retried by the caller against its own deadline.
  if (errno == EINTR) return WaitResult::Ready;
  error = errno;
  return WaitResult::Failed;
}
}  // namespace

bool startup(int& error) {
  error = 0;
  return true;
}

void cleanup() {}

OpenResult open(const HostPort& host, Handle& handle, Address& peer, int& error, std::string& detail) {
  addrinfo hints{};
  hints.ai_family = host.bracketed ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  hints.ai_flags = AI_NUMERICSERV | (host.bracketed ? AI_NUMERICHOST : 0);
  addrinfo* list = nullptr;
  const std::string port = std::to_string(host.port);
  const int rc = getaddrinfo(host.name.c_str(), port.c_str(), &hints, &list);
  if (rc != 0) {
    error = rc == EAI_SYSTEM ? errno : 0;
    detail = gai_strerror(rc);
    return OpenResult::NotResolved;
  }
  OpenResult result = OpenResult::Failed;
  for (const addrinfo* ai : inTryOrder(list, AF_INET)) {
    if (ai->ai_addrlen > sizeof peer.bytes) continue;
    const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      error = errno;
      continue;
    }
    if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
      error = errno;
      ::close(fd);
      continue;
    }
    std::memcpy(peer.bytes, ai->ai_addr, ai->ai_addrlen);
    peer.length = static_cast<int>(ai->ai_addrlen);
    handle = static_cast<Handle>(fd);
    result = OpenResult::Opened;
    break;
  }
  freeaddrinfo(list);
  if (result == OpenResult::Failed) detail = errorText(error);
  return result;
}

void close(Handle handle) { ::close(toFd(handle)); }

IoResult send(Handle handle, const void* data, std::size_t size, int& error) {
  for (;;) {
    if (::send(toFd(handle), data, size, 0) >= 0) return IoResult::Done;
    if (errno == EINTR) continue;
    error = errno;
    return isRefused(error) ? IoResult::Refused : IoResult::Failed;
  }
}

IoResult receive(Handle handle, void* buffer, std::size_t capacity, std::size_t& size, Address& from, int& error) {
  for (;;) {
    sockaddr_storage source{};
    socklen_t sourceLength = sizeof source;
    // MSG_TRUNC makes recvfrom return the real size of a datagram larger than the buffer.
    const ssize_t n =
        recvfrom(toFd(handle), buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (n >= 0) {
      size = static_cast<std::size_t>(n) > capacity ? capacity + 1 : static_cast<std::size_t>(n);
      from.length = sourceLength <= sizeof from.bytes ? static_cast<int>(sourceLength) : 0;
      std::memcpy(from.bytes, &source, static_cast<std::size_t>(from.length));
      return IoResult::Done;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::Empty;
    error = errno;
    return isRefused(error) ? IoResult::Refused : IoResult::Failed;
  }
}

WaitResult waitReadable(Handle handle, int milliseconds, int& error) {
  return waitFor(toFd(handle), POLLIN, milliseconds, error);
}

IoResult connectStream(const Address& address, Handle& handle, int& error) {
  sockaddr_storage peer{};
  std::memcpy(&peer, address.bytes, static_cast<std::size_t>(address.length));
  const int fd = socket(peer.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    error = errno;
    return IoResult::Failed;
  }
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), static_cast<socklen_t>(address.length)) == 0) {
    handle = static_cast<Handle>(fd);
    return IoResult::Done;
  }
  error = errno;
  if (error == EINPROGRESS || error == EINTR) {
    handle = static_cast<Handle>(fd);
    return IoResult::Empty;
  }
  ::close(fd);
  return isRefused(error) ? IoResult::Refused : IoResult::Failed;
}

IoResult connectResult(Handle handle, int& error) {
  int pending = 0;
  socklen_t length = sizeof pending;
  if (getsockopt(toFd(handle), SOL_SOCKET, SO_ERROR, &pending, &length) != 0) pending = errno;
  if (pending == 0) return IoResult::Done;
  error = pending;
  return isRefused(error) ? IoResult::Refused : IoResult::Failed;
}

IoResult sendStream(Handle handle, const void* data, std::size_t size, std::size_t& sent, int& error) {
  for (;;) {
    // A peer that closed the connection is an error here, never a SIGPIPE.
    const ssize_t n = ::send(toFd(handle), data, size, MSG_NOSIGNAL);
    if (n >= 0) {
      sent = static_cast<std::size_t>(n);
      return n > 0 ? IoResult::Done : IoResult::Empty;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::Empty;
    error = errno;
    return IoResult::Failed;
  }
}

IoResult receiveStream(Handle handle, void* buffer, std::size_t capacity, std::size_t& size, int& error) {
  for (;;) {
    const ssize_t n = ::recv(toFd(handle), buffer, capacity, 0);
    if (n >= 0) {
      size = static_cast<std::size_t>(n);
      return IoResult::Done;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::Empty;
    error = errno;
    return IoResult::Failed;
  }
}

WaitResult waitWritable(Handle handle, int milliseconds, int& error) {
  return waitFor(toFd(handle), POLLOUT, milliseconds, error);
}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace qrvl::sockapi
