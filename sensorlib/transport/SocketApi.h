#pragma once
// The few socket operations the client needs: a datagram socket for the sensor protocol,
// a stream socket for a web server's readings. One implementation per platform:
// PosixSocket.cpp (Linux) and WinsockSocket.cpp (Windows).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qrvl/HostText.h"

namespace qrvl::sockapi {

class Socket;

using Handle = std::uintptr_t;
inline constexpr Handle kInvalidHandle = ~Handle{0};

// Room for a sockaddr_in or a sockaddr_in6.
struct Address {
  unsigned char bytes[28];
  int length;
};

// Starts the platform's socket library; every successful call is paired with cleanup().
// SocketSession pairs them.
bool startup(int& error);
void cleanup();

enum class OpenResult { Opened, NotResolved, Failed };

// Resolves the host and opens a non-blocking datagram socket connected to the first of
// its addresses that takes one, IPv4 ones first. `detail` explains a failure.
OpenResult open(const HostPort& host, Socket& socket, Address& peer, int& error, std::string& detail);

// A name's resolved addresses in the order open() tries them. A datagram socket connects
// to any address without a word from the host, so the order decides: IPv4 first, as a
// host listening on one family only is far more often IPv4-only, while "localhost" may
// resolve to ::1 first.
template <class AddrInfo>
std::vector<const AddrInfo*> inTryOrder(const AddrInfo* list, int ipv4Family) {
  std::vector<const AddrInfo*> order;
  for (const AddrInfo* ai = list; ai != nullptr; ai = ai->ai_next) order.push_back(ai);
  std::stable_partition(order.begin(), order.end(),
                        [ipv4Family](const AddrInfo* ai) { return ai->ai_family == ipv4Family; });
  return order;
}

enum class IoResult { Done, Empty, Refused, Failed };

// Sends one datagram: Done, Refused (an earlier datagram drew a port-unreachable) or Failed.
IoResult send(Handle handle, const void* data, std::size_t size, int& error);

// Takes one queued datagram without waiting: Done, Empty (nothing queued), Refused or
// Failed. A datagram larger than `capacity` reports a size of capacity + 1.
IoResult receive(Handle handle, void* buffer, std::size_t capacity, std::size_t& size, Address& from, int& error);

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until a datagram or an error is queued, at most `milliseconds`.
WaitResult waitReadable(Handle handle, int milliseconds, int& error);

enum class Transport { Datagram, Stream };

// Resolves a host for the transport: its addresses in the order they are tried (IPv4 first,
// see inTryOrder). False with `detail` when the name does not resolve.
bool resolve(const HostPort& host, Transport transport, std::vector<Address>& addresses, int& error,
             std::string& detail);

// Starts a non-blocking connection to one address: Done when connected at once, Empty
// while it is under way (waitWritable, then connectResult, tell how it ended), Refused,
// or Failed. A socket is left in `socket` only for Done and Empty.
IoResult connectStream(const Address& address, Socket& socket, int& error);
// How a connection under way ended once the socket is writable: Done, Refused or Failed.
IoResult connectResult(Handle handle, int& error);

// Sends what the socket takes now: Done with `sent` > 0, Empty when it takes nothing yet,
// Failed (a connection the peer closed included).
IoResult sendStream(Handle handle, const void* data, std::size_t size, std::size_t& sent, int& error);
// Takes what has arrived: Done with `size` > 0, Done with 0 once the peer closed its
// side, Empty when nothing has arrived, Failed.
IoResult receiveStream(Handle handle, void* buffer, std::size_t capacity, std::size_t& size, int& error);

// Waits until the socket can take data or has an error, at most `milliseconds`.
WaitResult waitWritable(Handle handle, int milliseconds, int& error);

bool sameAddress(const Address& a, const Address& b);
std::string addressText(const Address& a);
std::string errorText(int error);

}  // namespace qrvl::sockapi
