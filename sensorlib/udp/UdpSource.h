#pragma once
// Readings from a sensor host (qrvld) over UDP: one request and its answer per reading, on
// a datagram socket connected to the host, within the caller's deadline.

#include <string>
#include <utility>

#include "QRVLPLUG.h"
#include "qrvl/HostText.h"
#include "transport/Deadline.h"
#include "transport/Socket.h"
#include "transport/SocketSession.h"
#include "transport/Source.h"

namespace qrvl::udp {

class UdpSource : public Source {
 public:
  // Keeps the peer, sequence and cancel flag in the plug-in's fixed layout; the socket is
  // its own.
  UdpSource(UDPCSock& sock, const HostPort& host);
  ~UdpSource() override;

  // Resolves the host and connects a socket to it.
  bool connect() override;
  bool read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) override;

  enum class Outcome {
    Reading,   // `data` holds the host's reading
    Answered,  // the host answered without a reading
    Silent,    // refused, no answer before the deadline, or the socket failed
    Cancelled,
  };
  // One request and its answer; lastFailure() says why there is no reading.
  Outcome ask(LMDATA& data, const Deadline& deadline, unsigned timeoutMs);

 private:
  Outcome ended(Outcome outcome, std::string why, int error) {
    failed(std::move(why), error);
    return outcome;
  }

  UDPCSock& sock_;
  HostPort host_;
  sockapi::SocketSession session_;
  sockapi::Socket socket_;
};

}  // namespace qrvl::udp
