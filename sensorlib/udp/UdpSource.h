#pragma once
// Readings from a sensor host (qrvld) over UDP: one request and its answer per reading, on
// a datagram socket connected to the host, within the caller's deadline.

#include <string>

#include "QRVLPLUG.h"
#include "qrvl/HostText.h"
#include "transport/Deadline.h"

namespace qrvl::udp {

class UdpSource {
 public:
  // Works on the socket, peer and sequence the plug-in keeps in its fixed layout.
  explicit UdpSource(UDPCSock& sock) : sock_(sock) {}

  // Resolves the host and connects a socket to it; false with the reason.
  bool open(const HostPort& host, std::string& why, int& error);

  enum class Outcome {
    Reading,   // `data` holds the host's reading
    Answered,  // the host answered without a reading
    Silent,    // refused, no answer before the deadline, or the socket failed
    Cancelled,
  };
  // One request and its answer; `why` says why there is no reading.
  Outcome read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs, std::string& why, int& error);

 private:
  UDPCSock& sock_;
};

}  // namespace qrvl::udp
