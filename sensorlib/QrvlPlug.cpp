// The client side of the sensor protocol, the same on every platform; SocketApi.h hides
// the socket API underneath.
#include "QRVLPLUG.h"

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Deadline.h"
#include "PrintableText.h"
#include "SocketApi.h"
#include "WebAddress.h"
#include "WebSource.h"
#include "qrvl/HostText.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

namespace wire = qrvl::wire;
namespace record = qrvl::record;
namespace sockapi = qrvl::sockapi;

static_assert(sizeof(LMDATA) == wire::kRecordSize, "LMDATA is the wire record");
static_assert(offsetof(LMDATA, Vio) == record::Vio * record::kFieldSize, "channel order");
static_assert(offsetof(LMDATA, Fan3) == record::Fan3 * record::kFieldSize, "channel order");
static_assert(offsetof(LMDATA, SampleTime) == record::kSampleTimeOffset, "sample time");
static_assert(sizeof(UDPCSock::peer) == sizeof(sockapi::Address::bytes), "peer address room");

namespace {
// Datagrams discarded before a request are bounded, so a flood still arriving cannot keep
// Get from sending; whatever is left is ignored by its sequence number.
constexpr int kMaxDiscarded = 1024;
// A waiting Get looks at the cancel flag this often.
constexpr int kCancelCheckMs = 20;

// Records why a call failed; returns 0, the failing result of Create and Get.
template <std::size_t N>
int fail(char (&text)[N], int& lastError, int error, const char* format, ...) {
  lastError = error;
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return 0;
}

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

// The flag is written by Cancel on another thread while Get reads it.
bool cancelled(const UDPCSock& sock) { return __atomic_load_n(&sock.cancelled, __ATOMIC_ACQUIRE) != 0; }

// A host text that names this machine on the sensor protocol's default port: there the
// PC's own LibreHardwareMonitor stands in for a qrvld that is not running.
bool namesThisMachine(const qrvl::HostPort& host) {
  if (host.port != wire::kDefaultPort) return false;
  std::string name = host.name;
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name == "localhost" || name == "127.0.0.1" || name == "::1";
}

sockapi::Address peerOf(const UDPCSock& sock) {
  sockapi::Address a;
  std::memcpy(a.bytes, sock.peer, sizeof a.bytes);
  a.length = sock.peerLength;
  return a;
}
}  // namespace

QRVLPLUG::QRVLPLUG() {
  libStarted = 0;
  lastError = 0;
  std::memset(lastFailure, 0, sizeof lastFailure);
  std::memset(static_cast<void*>(&sock), 0, sizeof sock);
  sock.handle = sockapi::kInvalidHandle;
}

QRVLPLUG::~QRVLPLUG() { Destroy(); }

int QRVLPLUG::Create(const char* host) {
  Destroy();
  try {
    if (qrvl::web::isWebAddress(host)) return createWeb(host);
    const std::string typed = host != nullptr ? host : "";
    if (qrvl::web::hasBlankOrControl(typed)) {
      return fail(lastFailure, lastError, 0, "bad host \"%.200s\": a space or a control character in the host name",
                  qrvl::printable(typed).c_str());
    }
    qrvl::HostPort target;
    if (!qrvl::parseHostText(host, target)) {
      return fail(lastFailure, lastError, 0,
                  "bad host \"%.200s\": expected name, name:port, [v6-address] or [v6-address]:port "
                  "with a port from 1 to 65535", typed.c_str());
    }
    int error = 0;
    if (!sockapi::startup(error)) {
      return fail(lastFailure, lastError, error, "socket library did not start: %s",
                  sockapi::errorText(error).c_str());
    }
    libStarted = 1;
    sockapi::Handle handle = sockapi::kInvalidHandle;
    sockapi::Address peer{};
    std::string detail;
    const auto opened = sockapi::open(target, handle, peer, error, detail);
    if (opened != sockapi::OpenResult::Opened) {
      Destroy();
      return fail(lastFailure, lastError, error,
                  opened == sockapi::OpenResult::NotResolved ? "cannot resolve \"%.200s\": %s"
                                                             : "cannot open a socket to \"%.200s\": %s",
                  target.name.c_str(), detail.c_str());
    }
    sock.handle = handle;
    std::memcpy(sock.peer, peer.bytes, sizeof sock.peer);
    sock.peerLength = peer.length;
    sock.nextSequence = firstSequence(this);
    sock.strayCount = 0;
    sock.cancelled = 0;
    if (namesThisMachine(target)) addLocalWebServer(target);
    lastError = 0;
    lastFailure[0] = '\0';
    return 1;
  } catch (...) {
    // Nothing may cross the library's boundary; the only throw here is out of memory.
    Destroy();
    return fail(lastFailure, lastError, 0, "out of memory");
  }
}

void QRVLPLUG::addLocalWebServer(const qrvl::HostPort& host) {
  const std::string name = host.name.find(':') != std::string::npos ? "[" + host.name + "]" : host.name;
  qrvl::web::WebAddress address;
  std::string why;
  int error = 0;
  if (!qrvl::web::parseWebAddress(("http://" + name + ":" + std::to_string(qrvl::web::kDefaultPort) + "/").c_str(),
                                  address, why)) {
    return;
  }
  auto* source = new qrvl::web::WebSource(address);
  // Without a name for the web server there is only qrvld to ask, as with any other host.
  if (!source->resolve(why, error)) {
    delete source;
    return;
  }
  sock.web = source;
}

int QRVLPLUG::createWeb(const char* url) {
  qrvl::web::WebAddress address;
  std::string why;
  if (!qrvl::web::parseWebAddress(url, address, why)) {
    return fail(lastFailure, lastError, 0, "bad address \"%.200s\": %s",
                qrvl::printable(qrvl::web::withoutPassword(url)).c_str(), why.c_str());
  }
  int error = 0;
  if (!sockapi::startup(error)) {
    return fail(lastFailure, lastError, error, "socket library did not start: %s", sockapi::errorText(error).c_str());
  }
  libStarted = 1;
  // The name must resolve now, as for a sensor host; the connection is made by the first Get.
  sock.web = new qrvl::web::WebSource(address);
  if (!static_cast<qrvl::web::WebSource*>(sock.web)->resolve(why, error)) {
    Destroy();
    return fail(lastFailure, lastError, error, "%.400s", why.c_str());
  }
  sock.cancelled = 0;
  lastError = 0;
  lastFailure[0] = '\0';
  return 1;
}

int QRVLPLUG::getWeb(LMDATA& data, const qrvl::Deadline& deadline, unsigned timeout) {
  auto* source = static_cast<qrvl::web::WebSource*>(sock.web);
  qrvl::record::Reading reading;
  std::string why;
  int error = 0;
  if (!source->read(deadline, timeout, sock.cancelled, reading, why, error)) {
    return fail(lastFailure, lastError, error, "%s", why.c_str());
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  std::uint8_t record[wire::kRecordSize];
  record::encode(
      reading, static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()), record);
  std::memcpy(&data, record, sizeof data);
  lastError = 0;
  lastFailure[0] = '\0';
  return 1;
}

int QRVLPLUG::Get(LMDATA& data, unsigned timeout) {
  const qrvl::Deadline deadline(timeout);
  sock.strayCount = 0;
  try {
    const bool local = sock.web != nullptr && sock.handle != sockapi::kInvalidHandle;
    if (sock.web != nullptr && !local) return getWeb(data, deadline, timeout);
    if (sock.handle == sockapi::kInvalidHandle) {
      return fail(lastFailure, lastError, 0, "not connected: Create has not succeeded");
    }
    bool answered = false;
    if (!local) return getDaemon(data, deadline, timeout, answered);

    // qrvld is asked first and wins whenever it answers. Where it does not run the
    // request is refused at once; half the time-out covers a machine that drops it.
    if (getDaemon(data, qrvl::Deadline(timeout / 2), timeout / 2, answered)) return 1;
    if (answered || cancelled(sock)) return 0;
    const std::string daemonFailure = lastFailure;
    auto* source = static_cast<qrvl::web::WebSource*>(sock.web);
    if (getWeb(data, deadline, timeout)) {
      std::snprintf(lastFailure, sizeof lastFailure,
                    "read from LibreHardwareMonitor's web server on %s: qrvld does not answer on UDP %u",
                    source->serverText().c_str(), static_cast<unsigned>(wire::kDefaultPort));
      return 1;
    }
    if (cancelled(sock)) return 0;
    if (!source->reached()) {
      return fail(lastFailure, lastError, lastError,
                  "neither qrvld (UDP %u) nor LibreHardwareMonitor's web server (%u) answers on this machine: "
                  "start qrvld, or switch on LibreHardwareMonitor's remote web server (Options > Remote Web "
                  "Server > Run)",
                  static_cast<unsigned>(wire::kDefaultPort), static_cast<unsigned>(qrvl::web::kDefaultPort));
    }
    const std::string webFailure = lastFailure;
    return fail(lastFailure, lastError, lastError, "qrvld does not answer on UDP %u (%.200s); the web server: %.300s",
                static_cast<unsigned>(wire::kDefaultPort), daemonFailure.c_str(), webFailure.c_str());
  } catch (...) {
    // Only the texts of failures allocate; nothing may cross the library's boundary.
    return fail(lastFailure, lastError, 0, "out of memory");
  }
}

int QRVLPLUG::getDaemon(LMDATA& data, const qrvl::Deadline& deadline, unsigned timeout, bool& answered) {
  answered = false;
  if (cancelled(sock)) return fail(lastFailure, lastError, 0, "cancelled");
  int error = 0;
  std::uint8_t buffer[wire::kRequestSize];
  std::size_t size = 0;
  sockapi::Address from{};

  // Whatever is queued (late replies, a port-unreachable of an earlier request) belongs to
  // an earlier Get.
  for (int i = 0; i < kMaxDiscarded; ++i) {
    const auto r = sockapi::receive(sock.handle, buffer, sizeof buffer, size, from, error);
    if (r == sockapi::IoResult::Empty || r == sockapi::IoResult::Failed) break;
  }

  const std::uint32_t sequence = sock.nextSequence++;
  std::uint8_t request[wire::kRequestSize];
  wire::encodeRequest(sequence, request);
  auto sent = sockapi::send(sock.handle, request, sizeof request, error);
  // A refusal reported here can still be one of an earlier request that came in after
  // the discarding; it is consumed by this failed send, so one retry tells.
  if (sent == sockapi::IoResult::Refused) sent = sockapi::send(sock.handle, request, sizeof request, error);
  if (sent == sockapi::IoResult::Refused) {
    return fail(lastFailure, lastError, error, "%s refused the request: no sensor host on that port",
                sockapi::addressText(peerOf(sock)).c_str());
  }
  if (sent == sockapi::IoResult::Failed) {
    return fail(lastFailure, lastError, error, "cannot send to %s: %s", sockapi::addressText(peerOf(sock)).c_str(),
                sockapi::errorText(error).c_str());
  }

  const sockapi::Address peer = peerOf(sock);
  for (;;) {
    const auto r = sockapi::receive(sock.handle, buffer, wire::kResponseSize, size, from, error);
    if (r == sockapi::IoResult::Done) {
      const auto check = wire::checkResponse(buffer, size, sequence);
      if (sockapi::sameAddress(from, peer) && wire::answersRequest(check)) {
        answered = true;
        if (check == wire::ResponseCheck::Reading) {
          std::memcpy(&data, buffer + wire::kRecordOffset, sizeof data);
          lastError = 0;
          lastFailure[0] = '\0';
          return 1;
        }
        return fail(lastFailure, lastError, 0,
                    check == wire::ResponseCheck::NoReading ? "%s has no reading (sensors not ready or failed)"
                                                            : "%s sent a reading with an unterminated field",
                    sockapi::addressText(peer).c_str());
      }
      ++sock.strayCount;
      // A flood must not stretch the wait past the deadline nor hold off a Cancel.
      if (cancelled(sock)) return fail(lastFailure, lastError, 0, "cancelled");
      if (deadline.passed()) break;
      continue;
    }
    if (r == sockapi::IoResult::Refused) {
      return fail(lastFailure, lastError, error, "%s refused the request: no sensor host on that port",
                  sockapi::addressText(peer).c_str());
    }
    if (r == sockapi::IoResult::Failed) {
      return fail(lastFailure, lastError, error, "cannot receive from %s: %s", sockapi::addressText(peer).c_str(),
                  sockapi::errorText(error).c_str());
    }
    const int wait = deadline.remainingMs();
    if (wait == 0) break;
    if (cancelled(sock)) return fail(lastFailure, lastError, 0, "cancelled");
    if (sockapi::waitReadable(sock.handle, wait < kCancelCheckMs ? wait : kCancelCheckMs, error) ==
        sockapi::WaitResult::Failed) {
      return fail(lastFailure, lastError, error, "cannot wait for %s: %s", sockapi::addressText(peer).c_str(),
                  sockapi::errorText(error).c_str());
    }
  }
  return fail(lastFailure, lastError, 0, "no valid reply from %s within %u ms (%u other datagrams ignored)",
              sockapi::addressText(peer).c_str(), timeout, static_cast<unsigned>(sock.strayCount));
}

void QRVLPLUG::Destroy() {
  delete static_cast<qrvl::web::WebSource*>(sock.web);
  sock.web = nullptr;
  if (sock.handle != sockapi::kInvalidHandle) {
    sockapi::close(sock.handle);
    sock.handle = sockapi::kInvalidHandle;
  }
  if (libStarted) {
    sockapi::cleanup();
    libStarted = 0;
  }
}

void QRVLPLUG::Cancel() { __atomic_store_n(&sock.cancelled, 1, __ATOMIC_RELEASE); }

const char* QRVLPLUG::LastFailure() const { return lastFailure; }
