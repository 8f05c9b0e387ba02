#pragma once
// Readings from a LibreHardwareMonitor web server: GET /data.json over one kept HTTP/1.1
// connection, opened again when the server has closed it, the whole exchange within the
// caller's time-out.

#include <string>
#include <vector>

#include "QRVLPLUG.h"
#include "transport/CancelFlag.h"
#include "transport/Deadline.h"
#include "transport/Socket.h"
#include "transport/SocketApi.h"
#include "transport/SocketSession.h"
#include "transport/Source.h"
#include "web/HttpReply.h"
#include "web/SensorChoice.h"
#include "web/SensorTree.h"
#include "web/WebAddress.h"

namespace qrvl::web {

class WebSource : public Source {
 public:
  WebSource(const WebAddress& address, CancelFlag& cancelled);

  // Looks the server's name up, once, so that no poll waits on the resolver. Before
  // fetch() and read().
  bool connect() override;
  // The server's sensors, read and parsed before the deadline; cancel() ends the work
  // within some 20 ms. False with one line saying why, and the system's error code where
  // there is one. `timeoutMs` is the time-out the failures name.
  bool fetch(const Deadline& deadline, unsigned timeoutMs, std::vector<WebSensor>& sensors, std::string& why,
             int& error);
  // One reading of the six channels and three fans, empty where no sensor gives a value;
  // each channel keeps its sensor from one reading to the next (SensorChoice).
  bool read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) override;
  // Whether the last fetch found a server to talk to, whatever it answered.
  bool reached() const { return reached_; }

  const WebAddress& address() const { return address_; }
  // "host:port" as failures name the server.
  std::string serverText() const;

 private:
  enum class Outcome { Done, Failed, Stale };

  bool open(const Deadline& deadline, std::string& why, int& error);
  Outcome exchange(const Deadline& deadline, unsigned timeoutMs, std::string& why, int& error);
  // Drops a kept connection that the server has closed or that holds bytes no request asked for.
  void dropIfOutOfStep();

  WebAddress address_;
  sockapi::SocketSession session_;
  std::vector<sockapi::Address> addresses_;
  std::string request_;
  sockapi::Socket socket_;
  HttpReply reply_;
  std::vector<WebSensor> sensors_;
  SensorChoice choice_;
  bool reached_ = false;
};

}  // namespace qrvl::web
