#pragma once
// This machine on the sensor protocol's default port: qrvld is asked first, and where it
// does not run, the PC's own LibreHardwareMonitor web server on its default port answers.

#include <memory>

#include "QRVLPLUG.h"
#include "qrvl/HostText.h"
#include "transport/Source.h"
#include "udp/UdpSource.h"
#include "web/WebSource.h"

namespace qrvl {

class LocalSource : public Source {
 public:
  // Whether the host text names this machine on the default port, where this source serves.
  static bool serves(const HostPort& host);

  LocalSource(UDPCSock& sock, const HostPort& host);

  // Ready when qrvld's socket is; without a name for the web server there is only qrvld to
  // ask, as with any other host.
  bool connect() override;
  bool read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) override;

 private:
  HostPort host_;
  udp::UdpSource daemon_;
  std::unique_ptr<web::WebSource> webServer_;
};

}  // namespace qrvl
