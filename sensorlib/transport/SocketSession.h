#pragma once
// The platform's socket library, started for as long as its owner needs sockets.

#include <string>

#include "transport/SocketApi.h"

namespace qrvl::sockapi {

class SocketSession {
 public:
  SocketSession() = default;
  ~SocketSession() {
    if (started_) cleanup();
  }
  SocketSession(const SocketSession&) = delete;
  SocketSession& operator=(const SocketSession&) = delete;

  // False with the reason and the system's error code; a second call does nothing.
  bool start(std::string& why, int& error) {
    if (started_) return true;
    started_ = startup(error);
    if (!started_) why = "socket library did not start: " + errorText(error);
    return started_;
  }

 private:
  bool started_ = false;
};

}  // namespace qrvl::sockapi
