#pragma once
// Where the plug-in's readings come from: a sensor host over UDP (udp/), a web server
// (web/), or this machine's qrvld with its web server behind it (LocalSource). The plug-in
// owns one and knows nothing else of it.

#include <string>
#include <utility>

#include "QRVLPLUG.h"
#include "transport/CancelFlag.h"
#include "transport/Deadline.h"

namespace qrvl {

class Source {
 public:
  virtual ~Source() = default;
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // Starts the socket library and finds the host, so that no read waits on the resolver.
  // False with lastFailure().
  virtual bool connect() = 0;
  // One reading before the deadline; `timeoutMs` is the time-out failures name. `data` is
  // written only on success. False with lastFailure().
  virtual bool read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) = 0;

  // Why the last connect or read failed; after a success empty, or which of two sources
  // answered.
  const std::string& lastFailure() const { return failure_; }
  // The system's error code of that failure, 0 when there is none.
  int lastError() const { return error_; }
  // From any thread: a waiting read returns within some 20 ms, and so does every later one.
  void cancel() { qrvl::cancel(cancelled_); }

 protected:
  // The flag lives with the plug-in, where Cancel reaches it without a lock.
  explicit Source(CancelFlag& cancelled) : cancelled_(cancelled) {}

  bool failed(std::string why, int error) {
    failure_ = std::move(why);
    error_ = error;
    return false;
  }
  bool succeeded(std::string note = {}) {
    failure_ = std::move(note);
    error_ = 0;
    return true;
  }

  CancelFlag& cancelled_;

 private:
  std::string failure_;
  int error_ = 0;
};

}  // namespace qrvl
