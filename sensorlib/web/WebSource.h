#pragma once
// Readings from a LibreHardwareMonitor web server: GET /data.json over one kept HTTP/1.1
// connection, opened again when the server has closed it, the whole exchange within the
// caller's time-out.

#include <string>
#include <vector>

#include "qrvl/Record.h"
#include "transport/CancelFlag.h"
#include "transport/Deadline.h"
#include "transport/SocketApi.h"
#include "web/HttpReply.h"
#include "web/SensorChoice.h"
#include "web/SensorTree.h"
#include "web/WebAddress.h"

namespace qrvl::web {

class WebSource {
 public:
  explicit WebSource(const WebAddress& address);
  ~WebSource();
  WebSource(const WebSource&) = delete;
  WebSource& operator=(const WebSource&) = delete;

  // Looks the server's name up, once, so that no poll waits on the resolver; false with
  // the reason when the name does not resolve. Before fetch() and read().
  bool resolve(std::string& why, int& error);
  // The server's sensors, read and parsed before the deadline; a non-zero `cancelFlag`
  // (set from any thread) ends the work within some 20 ms. False with one line saying
  // why, and the system's error code where there is one. `timeoutMs` is the time-out the
  // failures name.
  bool fetch(const Deadline& deadline, unsigned timeoutMs, const CancelFlag& cancelFlag,
             std::vector<WebSensor>& sensors, std::string& why, int& error);
  bool fetch(unsigned timeoutMs, const CancelFlag& cancelFlag, std::vector<WebSensor>& sensors, std::string& why,
             int& error) {
    return fetch(Deadline(timeoutMs), timeoutMs, cancelFlag, sensors, why, error);
  }
  // One reading of the six channels and three fans, NaN where no sensor gives a value;
  // each channel keeps its sensor from one reading to the next (SensorChoice).
  bool read(const Deadline& deadline, unsigned timeoutMs, const CancelFlag& cancelFlag, record::Reading& reading,
            std::string& why, int& error);
  // Whether the last fetch found a server to talk to, whatever it answered.
  bool reached() const { return reached_; }

  const WebAddress& address() const { return address_; }
  // "host:port" as failures name the server.
  std::string serverText() const;

 private:
  enum class Outcome { Done, Failed, Stale };

  bool connect(const Deadline& deadline, const CancelFlag& cancelFlag, std::string& why, int& error);
  Outcome exchange(const Deadline& deadline, unsigned timeoutMs, const CancelFlag& cancelFlag, std::string& why,
                   int& error);
  void disconnect();
  // Drops a kept connection that the server has closed or that holds bytes no request asked for.
  void dropIfOutOfStep();

  WebAddress address_;
  std::vector<sockapi::Address> addresses_;
  std::string request_;
  sockapi::Handle handle_ = sockapi::kInvalidHandle;
  HttpReply reply_;
  std::vector<WebSensor> sensors_;
  SensorChoice choice_;
  bool reached_ = false;
};

}  // namespace qrvl::web
