// Datagram and stream sockets over Winsock 2 (Windows).
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "transport/Socket.h"
#include "transport/SocketApi.h"

namespace qrvl::sockapi {

static_assert(sizeof(sockaddr_in6) <= sizeof(Address::bytes), "Address holds an IPv6 address");
static_assert(sizeof(SOCKET) == sizeof(Handle), "a SOCKET fits a Handle");

namespace {
SOCKET toSocket(Handle handle) { return static_cast<SOCKET>(handle); }

// Windows reports a port-unreachable on a datagram socket as WSAECONNRESET; wine
// reports it as WSAECONNREFUSED.
bool isRefused(int error) { return error == WSAECONNREFUSED || error == WSAECONNRESET; }

// A failed connection shows in the exception set, not the writable one.
WaitResult waitFor(SOCKET s, bool writable, int milliseconds, int& error) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
  const int n = select(0, writable ? nullptr : &ready, writable ? &ready : nullptr, &failed, &wait);
  if (n > 0) return WaitResult::Ready;
  if (n == 0) return WaitResult::TimedOut;
  error = WSAGetLastError();
  // An interrupted wait is retried by the caller against its own deadline.
  return error == WSAEINTR ? WaitResult::Ready : WaitResult::Failed;
}
}  // namespace

bool startup(int& error) {
  WSADATA data;
  error = WSAStartup(MAKEWORD(2, 2), &data);
  return error == 0;
}

void cleanup() { WSACleanup(); }

void Socket::reset() noexcept {
  if (handle_ != kInvalidHandle) closesocket(toSocket(handle_));
  handle_ = kInvalidHandle;
}

OpenResult open(const HostPort& host, Socket& socket, Address& peer, int& error, std::string& detail) {
  std::vector<Address> addresses;
  if (!resolve(host, Transport::Datagram, addresses, error, detail)) return OpenResult::NotResolved;
  for (const Address& a : addresses) {
    sockaddr_storage peerAddress{};
    std::memcpy(&peerAddress, a.bytes, static_cast<std::size_t>(a.length));
    const SOCKET s = ::socket(peerAddress.ss_family, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
      error = WSAGetLastError();
      continue;
    }
    Socket opened(static_cast<Handle>(s));
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
        connect(s, reinterpret_cast<const sockaddr*>(&peerAddress), a.length) != 0) {
      error = WSAGetLastError();
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
    if (::send(toSocket(handle), static_cast<const char*>(data), static_cast<int>(size), 0) != SOCKET_ERROR) {
      return IoResult::Done;
    }
    error = WSAGetLastError();
    if (error == WSAEINTR) continue;
    return isRefused(error) ? IoResult::Refused : IoResult::Failed;
  }
}

IoResult receive(Handle handle, void* buffer, std::size_t capacity, std::size_t& size, Address& from, int& error) {
  for (;;) {
    sockaddr_storage source{};
    int sourceLength = sizeof source;
    const int n = recvfrom(toSocket(handle), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                           reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (n != SOCKET_ERROR) {
      size = static_cast<std::size_t>(n);
    } else {
      error = WSAGetLastError();
      if (error == WSAEINTR) continue;
      if (error == WSAEWOULDBLOCK) return IoResult::Empty;
      if (isRefused(error)) return IoResult::Refused;
      // The datagram was larger than the buffer; the rest of it is gone.
      if (error != WSAEMSGSIZE) return IoResult::Failed;
      size = capacity + 1;
    }
    from.length = sourceLength > 0 && sourceLength <= static_cast<int>(sizeof from.bytes) ? sourceLength : 0;
    std::memcpy(from.bytes, &source, static_cast<std::size_t>(from.length));
    return IoResult::Done;
  }
}

WaitResult waitReadable(Handle handle, int milliseconds, int& error) {
  return waitFor(toSocket(handle), false, milliseconds, error);
}

IoResult connectStream(const Address& address, Socket& socket, int& error) {
  sockaddr_storage peer{};
  std::memcpy(&peer, address.bytes, static_cast<std::size_t>(address.length));
  const SOCKET s = ::socket(peer.ss_family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = WSAGetLastError();
    return IoResult::Failed;
  }
  Socket opened(static_cast<Handle>(s));
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    error = WSAGetLastError();
    return IoResult::Failed;
  }
  if (connect(s, reinterpret_cast<const sockaddr*>(&peer), address.length) == 0) {
    socket = std::move(opened);
    return IoResult::Done;
  }
  error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) {
    socket = std::move(opened);
    return IoResult::Empty;
  }
  return isRefused(error) ? IoResult::Refused : IoResult::Failed;
}

IoResult connectResult(Handle handle, int& error) {
  int pending = 0;
  int length = sizeof pending;
  if (getsockopt(toSocket(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) != 0) {
    pending = WSAGetLastError();
  }
  if (pending == 0) return IoResult::Done;
  error = pending;
  return isRefused(error) ? IoResult::Refused : IoResult::Failed;
}

IoResult sendStream(Handle handle, const void* data, std::size_t size, std::size_t& sent, int& error) {
  for (;;) {
    const int n = ::send(toSocket(handle), static_cast<const char*>(data), static_cast<int>(size), 0);
    if (n != SOCKET_ERROR) {
      sent = static_cast<std::size_t>(n);
      return n > 0 ? IoResult::Done : IoResult::Empty;
    }
    error = WSAGetLastError();
    if (error == WSAEINTR) continue;
    if (error == WSAEWOULDBLOCK) return IoResult::Empty;
    return IoResult::Failed;
  }
}

IoResult receiveStream(Handle handle, void* buffer, std::size_t capacity, std::size_t& size, int& error) {
  for (;;) {
    const int n = recv(toSocket(handle), static_cast<char*>(buffer), static_cast<int>(capacity), 0);
    if (n != SOCKET_ERROR) {
      size = static_cast<std::size_t>(n);
      return IoResult::Done;
    }
    error = WSAGetLastError();
    if (error == WSAEINTR) continue;
    if (error == WSAEWOULDBLOCK) return IoResult::Empty;
    return IoResult::Failed;
  }
}

WaitResult waitWritable(Handle handle, int milliseconds, int& error) {
  return waitFor(toSocket(handle), true, milliseconds, error);
}

std::string errorText(int error) {
  char text[256] = "";
  const DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error),
                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
  std::string message = "error " + std::to_string(error);
  std::string system(text, n);
  while (!system.empty() && (system.back() == '\r' || system.back() == '\n' || system.back() == '.')) {
    system.pop_back();
  }
  if (!system.empty()) message += ": " + system;
  return message;
}

}  // namespace qrvl::sockapi
