#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "base/UniqueFd.h"
#include "metrics/MetricsBoard.h"
#include "metrics/WebConfig.h"
#include "net/AllowList.h"
#include "net/IpAddress.h"

struct MHD_Daemon;

namespace qrvld {

// The HTTP side: GET and HEAD /metrics, answered by libmicrohttpd on a thread of its own
// from the board, for the clients the allow-list admits; others are disconnected as they
// connect. Connections are capped, time out when idle and hold a bounded request, so idle
// or hostile clients cost the UDP side nothing. With a web configuration it speaks TLS
// only, checks client certificates and passwords as that file says.
class MetricsServer {
 public:
  MetricsServer(const MetricsBoard& board, const AllowList& allow);
  // Closes every connection and ends the thread.
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // Listens on address:port ("[::]" takes IPv4 clients too) and serves with `web`; false
  // with a reason when it cannot.
  bool start(const IpAddress& address, std::uint16_t port, const WebConfig& web, std::string& error);
  // Serves with `web` from now on: a new server on the same socket takes the clients that
  // connect next, and the old one closes its connections. When the new one cannot start,
  // the old one goes on and `error` says why. On the thread that called start().
  bool setWebConfig(const WebConfig& web, std::string& error);
  // Takes a reloaded allow-list for the clients that connect from now on; from any thread.
  void setAllow(const AllowList& allow);
  // Whether the allow-list admits `client`; called on the HTTP thread as a client connects.
  bool admits(const IpAddress& client) const;

  // What one server answers with; it lives as long as that server.
  struct Site;

 private:
  MHD_Daemon* launch(Site& site, std::string& error);

  const MetricsBoard& board_;
  mutable std::mutex allowMutex_;
  AllowList allow_;
  UniqueFd listening_;  // each server gets a copy of it, and closes that copy when it stops
  bool v6_ = false;
  std::string where_;  // "127.0.0.1:9183", for the log
  std::unique_ptr<Site> site_;
  MHD_Daemon* daemon_ = nullptr;
};

}  // namespace qrvld
