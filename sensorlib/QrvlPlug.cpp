// The plug-in: one source of readings behind it, chosen by Create from the host text (a
// sensor host over UDP, a LibreHardwareMonitor web server, or this machine's qrvld with its
// web server behind); the same on every platform, with the socket API underneath in
// transport/.
#include "QRVLPLUG.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "LocalSource.h"
#include "qrvl/HostText.h"
#include "qrvl/PrintableText.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"
#include "transport/Deadline.h"
#include "transport/SocketApi.h"
#include "transport/Source.h"
#include "udp/UdpSource.h"
#include "web/WebAddress.h"
#include "web/WebSource.h"

namespace wire = qrvl::wire;
namespace record = qrvl::record;

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
}  // namespace

QRVLPLUG::QRVLPLUG() {
  libStarted = 0;
  lastError = 0;
  std::memset(lastFailure, 0, sizeof lastFailure);
  std::memset(static_cast<void*>(&sock), 0, sizeof sock);
  sock.handle = qrvl::sockapi::kInvalidHandle;
}

QRVLPLUG::~QRVLPLUG() { Destroy(); }

qrvl::Source* QRVLPLUG::ownSource() const { return sock.owner == this ? sock.source : nullptr; }

int QRVLPLUG::Create(const char* host) {
  Destroy();
  try {
    std::unique_ptr<qrvl::Source> source;
    const char* failureFormat = "%s";
    if (qrvl::isWebAddress(host)) {
      qrvl::web::WebAddress address;
      std::string why;
      if (!qrvl::web::parseWebAddress(host, address, why)) {
        return fail(lastFailure, lastError, 0, "bad address \"%.200s\": %s",
                    qrvl::printable(qrvl::withoutPassword(host)).c_str(), why.c_str());
      }
      source = std::make_unique<qrvl::web::WebSource>(address, sock.cancelled);
      failureFormat = "%.400s";
    } else {
      const std::string typed = host != nullptr ? host : "";
      if (qrvl::web::hasBlankOrControl(typed)) {
        return fail(lastFailure, lastError, 0, "bad host \"%.200s\": a space or a control character in the host name",
                    qrvl::printable(typed).c_str());
      }
      qrvl::HostPort target;
      if (!qrvl::parseHostText(host, target)) {
        return fail(lastFailure, lastError, 0,
                    "bad host \"%.200s\": expected name, name:port, [v6-address] or [v6-address]:port "
                    "with a port from 1 to 65535",
                    typed.c_str());
      }
      if (qrvl::LocalSource::serves(target)) {
        source = std::make_unique<qrvl::LocalSource>(sock, target);
      } else {
        source = std::make_unique<qrvl::udp::UdpSource>(sock, target);
      }
    }
    // A web server's name is resolved now, as a sensor host's is; its connection is made
    // by the first Get.
    if (!source->connect()) {
      return fail(lastFailure, lastError, source->lastError(), failureFormat, source->lastFailure().c_str());
    }
    sock.cancelled = 0;
    sock.source = source.release();
    sock.owner = this;
    libStarted = 1;
    lastError = 0;
    lastFailure[0] = '\0';
    return 1;
  } catch (...) {
    // Nothing may cross the library's boundary; the only throw here is out of memory.
    Destroy();
    return fail(lastFailure, lastError, 0, "out of memory");
  }
}

int QRVLPLUG::Get(LMDATA& data, unsigned timeout) {
  const qrvl::Deadline deadline(timeout);
  qrvl::Source* source = ownSource();
  if (source == nullptr) {
    return sock.source == nullptr ? fail(lastFailure, lastError, 0, "not connected: Create has not succeeded")
                                  : fail(lastFailure, lastError, 0,
                                         "not connected: a copy of a connected object, without a source "
                                         "of its own until its Create");
  }
  try {
    const bool read = source->read(data, deadline, timeout);
    lastError = source->lastError();
    std::snprintf(lastFailure, sizeof lastFailure, "%s", source->lastFailure().c_str());
    return read ? 1 : 0;
  } catch (...) {
    // Only the texts of failures allocate; nothing may cross the library's boundary.
    return fail(lastFailure, lastError, 0, "out of memory");
  }
}

void QRVLPLUG::Destroy() {
  delete ownSource();
  sock.source = nullptr;
  sock.owner = nullptr;
  sock.handle = qrvl::sockapi::kInvalidHandle;
  libStarted = 0;
}

void QRVLPLUG::Cancel() {
  if (qrvl::Source* source = ownSource()) source->cancel();
}

const char* QRVLPLUG::LastFailure() const { return lastFailure; }
