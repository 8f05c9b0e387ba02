// Datagram and stream sockets over the POSIX API (Linux).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <string>
#include <utility>
#include <vector>

#include "transport/Socket.h"
#include "transport/SocketApi.h"

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

void Socket::reset() noexcept {
  if (handle_ != kInvalidHandle) ::close(toFd(handle_));
  handle_ = kInvalidHandle;
}

OpenResult open(const HostPort& host, Socket& socket, Address& peer, int& error, std::string& detail) {
  std::vector<Address> addresses;
  if (!resolve(host, Transport::Datagram, addresses, error, detail)) return OpenResult::NotResolved;
  for (const Address& a : addresses) {
    sockaddr_storage s{};
    std::memcpy(&s, a.bytes, static_cast<std::size_t>(a.length));
    const int fd = ::socket(s.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
      error = errno;
      continue;
    }
    Socket opened(static_cast<Handle>(fd));
    if (connect(fd, reinterpret_cast<const sockaddr*>(&s), static_cast<socklen_t>(a.length)) != 0) {
      error = errno;
      continue;
    }
    peer = a;
    socket = std::move(opened);
    return OpenResult::Opened;
  }
  detail = errorText(error);
  return OpenResult::Failed;
}

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

IoResult connectStream(const Address& address, Socket& socket, int& error) {
  sockaddr_storage peer{};
  std::memcpy(&peer, address.bytes, static_cast<std::size_t>(address.length));
  const int fd = ::socket(peer.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    error = errno;
    return IoResult::Failed;
  }
  Socket opened(static_cast<Handle>(fd));
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), static_cast<socklen_t>(address.length)) == 0) {
    socket = std::move(opened);
    return IoResult::Done;
  }
  error = errno;
  if (error == EINPROGRESS || error == EINTR) {
    socket = std::move(opened);
    return IoResult::Empty;
  }
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
