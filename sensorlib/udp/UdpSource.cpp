#include "udp/UdpSource.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>

#include "qrvl/Wire.h"
#include "transport/CancelFlag.h"
#include "transport/SocketApi.h"

namespace qrvl::udp {

namespace {
// Datagrams discarded before a request are bounded, so a flood still arriving cannot keep
// a read from sending; whatever is left is ignored by its sequence number.
constexpr int kMaxDiscarded = 1024;
// A waiting read looks at the cancel flag this often.
constexpr int kCancelCheckMs = 20;

std::uint32_t firstSequence(const void* object) {
  try {
    std::random_device device;
    return device();
  } catch (...) {
    // No entropy source: the clock and the object's address still differ between runs.
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks) ^ static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(object));
  }
}

sockapi::Address peerOf(const UDPCSock& sock) {
  sockapi::Address a;
  std::memcpy(a.bytes, sock.peer, sizeof a.bytes);
  a.length = sock.peerLength;
  return a;
}

std::string refusedText(const sockapi::Address& peer) {
  return sockapi::addressText(peer) + " refused the request: no sensor host on that port";
}
}  // namespace

static_assert(sizeof(UDPCSock::peer) == sizeof(sockapi::Address::bytes), "peer address room");

UdpSource::UdpSource(UDPCSock& sock, const HostPort& host) : Source(sock.cancelled), sock_(sock), host_(host) {}

// The layout's handle is a copy for the record; the socket closes with this object.
UdpSource::~UdpSource() { sock_.handle = sockapi::kInvalidHandle; }

bool UdpSource::connect() {
  std::string why;
  int error = 0;
  if (!session_.start(why, error)) return failed(why, error);
  sockapi::Address peer{};
  std::string detail;
  const auto opened = sockapi::open(host_, socket_, peer, error, detail);
  if (opened != sockapi::OpenResult::Opened) {
    return failed((opened == sockapi::OpenResult::NotResolved ? "cannot resolve \"" : "cannot open a socket to \"") +
                      host_.name.substr(0, 200) + "\": " + detail,
                  error);
  }
  sock_.handle = socket_.get();
  std::memcpy(sock_.peer, peer.bytes, sizeof sock_.peer);
  sock_.peerLength = peer.length;
  sock_.nextSequence = firstSequence(&sock_);
  sock_.strayCount = 0;
  return succeeded();
}

bool UdpSource::read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) {
  return ask(data, deadline, timeoutMs) == Outcome::Reading;
}

UdpSource::Outcome UdpSource::ask(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) {
  sock_.strayCount = 0;
  int error = 0;
  const auto cancelled = [&] { return ended(Outcome::Cancelled, "cancelled", 0); };
  if (isCancelled(cancelled_)) return cancelled();
  const sockapi::Handle handle = socket_.get();
  std::uint8_t buffer[wire::kRequestSize];
  std::size_t size = 0;
  sockapi::Address from{};

  // Whatever is queued (late replies, a port-unreachable of an earlier request) belongs to
  // an earlier read.
  for (int i = 0; i < kMaxDiscarded; ++i) {
    const auto r = sockapi::receive(handle, buffer, sizeof buffer, size, from, error);
    if (r == sockapi::IoResult::Empty || r == sockapi::IoResult::Failed) break;
  }

  const sockapi::Address peer = peerOf(sock_);
  const std::uint32_t sequence = sock_.nextSequence++;
  std::uint8_t request[wire::kRequestSize];
  wire::encodeRequest(sequence, request);
  auto sent = sockapi::send(handle, request, sizeof request, error);
  // A refusal reported here can still be one of an earlier request that came in after
  // the discarding; it is consumed by this failed send, so one retry tells.
  if (sent == sockapi::IoResult::Refused) sent = sockapi::send(handle, request, sizeof request, error);
  if (sent == sockapi::IoResult::Refused) return ended(Outcome::Silent, refusedText(peer), error);
  if (sent == sockapi::IoResult::Failed) {
    return ended(Outcome::Silent, "cannot send to " + sockapi::addressText(peer) + ": " + sockapi::errorText(error),
                 error);
  }

  for (;;) {
    const auto r = sockapi::receive(handle, buffer, wire::kResponseSize, size, from, error);
    if (r == sockapi::IoResult::Done) {
      const auto check = wire::checkResponse(buffer, size, sequence);
      if (sockapi::sameAddress(from, peer) && wire::answersRequest(check)) {
        if (check == wire::ResponseCheck::Reading) {
          std::memcpy(&data, buffer + wire::kRecordOffset, sizeof data);
          succeeded();
          return Outcome::Reading;
        }
        return ended(Outcome::Answered,
                     sockapi::addressText(peer) + (check == wire::ResponseCheck::NoReading
                                                       ? " has no reading (sensors not ready or failed)"
                                                       : " sent a reading with an unterminated field"),
                     0);
      }
      ++sock_.strayCount;
      // A flood must not stretch the wait past the deadline nor hold off a Cancel.
      if (isCancelled(cancelled_)) return cancelled();
      if (deadline.passed()) break;
      continue;
    }
    if (r == sockapi::IoResult::Refused) return ended(Outcome::Silent, refusedText(peer), error);
    if (r == sockapi::IoResult::Failed) {
      return ended(Outcome::Silent,
                   "cannot receive from " + sockapi::addressText(peer) + ": " + sockapi::errorText(error), error);
    }
    const int wait = deadline.remainingMs();
    if (wait == 0) break;
    if (isCancelled(cancelled_)) return cancelled();
    if (sockapi::waitReadable(handle, wait < kCancelCheckMs ? wait : kCancelCheckMs, error) ==
        sockapi::WaitResult::Failed) {
      return ended(Outcome::Silent, "cannot wait for " + sockapi::addressText(peer) + ": " + sockapi::errorText(error),
                   error);
    }
  }
  return ended(Outcome::Silent,
               "no valid reply from " + sockapi::addressText(peer) + " within " + std::to_string(timeoutMs) + " ms (" +
                   std::to_string(sock_.strayCount) + " other datagrams ignored)",
               0);
}

}  // namespace qrvl::udp
