#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "AllowList.h"
#include "IpAddress.h"
#include "MetricsBoard.h"

struct MHD_Daemon;

namespace qrvld {

// The HTTP side: GET and HEAD /metrics, answered by libmicrohttpd on a thread of its own
// from the board, for the clients the allow-list admits; others are disconnected as they
// connect. Connections are capped, time out when idle and hold a bounded request, so idle
// or hostile clients cost the UDP side nothing.
class MetricsServer {
 public:
  MetricsServer(const MetricsBoard& board, const AllowList& allow);
  // Closes every connection and ends the thread.
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // Listens on address:port ("[::]" takes IPv4 clients too) and serves; false with a
  // reason when it cannot.
  bool start(const IpAddress& address, std::uint16_t port, std::string& error);
  // Takes a reloaded allow-list for the clients that connect from now on; from any thread.
  void setAllow(const AllowList& allow);
  // Whether the allow-list admits `client`; called on the HTTP thread as a client connects.
  bool admits(const IpAddress& client) const;

 private:
  const MetricsBoard& board_;
  mutable std::mutex allowMutex_;
  AllowList allow_;
  MHD_Daemon* daemon_ = nullptr;
};

}  // namespace qrvld
