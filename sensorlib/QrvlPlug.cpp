// The plug-in: a sensor host over UDP (udp/), a LibreHardwareMonitor web server (web/),
// or, for this machine's default host, the one and then the other; the same on every
// platform, with the socket API underneath in transport/.
#include "QRVLPLUG.h"

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "qrvl/HostText.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"
#include "transport/CancelFlag.h"
#include "transport/Deadline.h"
#include "transport/SocketApi.h"
#include "udp/UdpSource.h"
#include "web/PrintableText.h"
#include "web/WebAddress.h"
#include "web/WebSource.h"

namespace wire = qrvl::wire;
namespace record = qrvl::record;
namespace sockapi = qrvl::sockapi;

static_assert(sizeof(LMDATA) == wire::kRecordSize, "LMDATA is the wire record");
static_assert(offsetof(LMDATA, Vio) == record::Vio * record::kFieldSize, "channel order");
static_assert(offsetof(LMDATA, Fan3) == record::Fan3 * record::kFieldSize, "channel order");
static_assert(offsetof(LMDATA, SampleTime) == record::kSampleTimeOffset, "sample time");

namespace {
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

// A host text that names this machine on the sensor protocol's default port: there the
// PC's own LibreHardwareMonitor stands in for a qrvld that is not running.
bool namesThisMachine(const qrvl::HostPort& host) {
  if (host.port != wire::kDefaultPort) return false;
  std::string name = host.name;
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name == "localhost" || name == "127.0.0.1" || name == "::1";
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
    std::string why;
    if (!qrvl::udp::UdpSource(sock).open(target, why, error)) {
      Destroy();
      return fail(lastFailure, lastError, error, "%s", why.c_str());
    }
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
                qrvl::printable(qrvl::withoutPassword(url)).c_str(), why.c_str());
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
    qrvl::udp::UdpSource daemon(sock);
    std::string why;
    int error = 0;
    // qrvld is asked first and wins whenever it answers. Where it does not run the
    // request is refused at once; half the time-out covers a machine that drops it.
    const auto outcome = local ? daemon.read(data, qrvl::Deadline(timeout / 2), timeout / 2, why, error)
                               : daemon.read(data, deadline, timeout, why, error);
    if (outcome == qrvl::udp::UdpSource::Outcome::Reading) {
      lastError = 0;
      lastFailure[0] = '\0';
      return 1;
    }
    if (!local || outcome != qrvl::udp::UdpSource::Outcome::Silent) {
      return fail(lastFailure, lastError, error, "%s", why.c_str());
    }
    auto* source = static_cast<qrvl::web::WebSource*>(sock.web);
    if (getWeb(data, deadline, timeout)) {
      std::snprintf(lastFailure, sizeof lastFailure,
                    "read from LibreHardwareMonitor's web server on %s: qrvld does not answer on UDP %u",
                    source->serverText().c_str(), static_cast<unsigned>(wire::kDefaultPort));
      return 1;
    }
    if (qrvl::isCancelled(sock.cancelled)) return 0;
    if (!source->reached()) {
      return fail(lastFailure, lastError, lastError,
                  "neither qrvld (UDP %u) nor LibreHardwareMonitor's web server (%u) answers on this machine: "
                  "start qrvld, or switch on LibreHardwareMonitor's remote web server (Options > Remote Web "
                  "Server > Run)",
                  static_cast<unsigned>(wire::kDefaultPort), static_cast<unsigned>(qrvl::web::kDefaultPort));
    }
    const std::string webFailure = lastFailure;
    return fail(lastFailure, lastError, lastError, "qrvld does not answer on UDP %u (%.200s); the web server: %.300s",
                static_cast<unsigned>(wire::kDefaultPort), why.c_str(), webFailure.c_str());
  } catch (...) {
    // Only the texts of failures allocate; nothing may cross the library's boundary.
    return fail(lastFailure, lastError, 0, "out of memory");
  }
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

void QRVLPLUG::Cancel() { qrvl::cancel(sock.cancelled); }

const char* QRVLPLUG::LastFailure() const { return lastFailure; }
