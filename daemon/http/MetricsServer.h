#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/UniqueFd.h"
#include "http/ConnectionWatch.h"
#include "metrics/MetricsBoard.h"
#include "http/PasswordMemory.h"
#include "http/WebConfig.h"
#include "net/AllowList.h"
#include "net/IpAddress.h"

struct MHD_Daemon;

namespace qrvld {

// The HTTP side: GET and HEAD /metrics, answered by libmicrohttpd on a thread of its own
// from the board, for the clients the allow-list admits; others are disconnected as they
// connect. Connections are capped, in all and per address, time out when idle, must send
// their request head within a deadline and hold a bounded request, so idle, slow or
// hostile clients cost the UDP side and the other clients nothing. With a web
// configuration it speaks TLS only, checks client certificates and passwords as that file
// says.
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
  // connect next, and the old one closes its connections on a thread of its own, so the
  // caller does not wait for a request in progress. When the new one cannot start, the old
  // one goes on and `error` says why. On the thread that called start().
  bool setWebConfig(const WebConfig& web, std::string& error);
  // Takes a reloaded allow-list: clients that connect from now on are judged by it, and the
  // open connections of clients it refuses are closed. From any thread.
  void setAllow(const AllowList& allow);
  // Whether the allow-list admits `client`; called on the HTTP thread as a client connects.
  bool admits(const IpAddress& client) const;

  // What one server answers with; it lives as long as that server.
  struct Site;

 private:
  MHD_Daemon* launch(Site& site, std::string& error);
  // Stops the server in force, if any, on the retiring thread.
  void retire();

  const MetricsBoard& board_;
  PasswordMemory passwords_;  // shared by the servers a reload replaces
  ConnectionWatch watch_;
  mutable std::mutex allowMutex_;
  AllowList allow_;
  UniqueFd listening_;  // each server gets a copy of it, and closes that copy when it stops
  bool v6_ = false;
  std::string where_;  // "127.0.0.1:9183", for the log
  std::unique_ptr<Site> site_;
  MHD_Daemon* daemon_ = nullptr;
  struct Retiring {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::list<Retiring> retiring_;
};

}  // namespace qrvld
