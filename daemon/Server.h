#pragma once

#include <poll.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Options.h"
#include "RequestGate.h"
#include "Sampler.h"
#include "UniqueFd.h"
#include "qrvl/Wire.h"

namespace qrvld {

// The daemon's one poll loop: listening sockets, the sampler's snapshots and signals.
// A request is answered from the snapshot already in memory, in a buffer built afresh;
// nothing on that path allocates, blocks or reads hardware.
class Server {
 public:
  Server(const Options& options, RequestGate& gate, Sampler& sampler);
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds the listening sockets and takes SIGTERM, SIGINT and SIGUSR1, which the caller
  // has blocked in every thread. The sampler must have started.
  bool open(std::string& error);
  // Serves until SIGTERM or SIGINT, from the sampler's first snapshot on: requests that
  // come before it wait in the sockets' queues. Logs "ready: ..." when it starts serving.
  void run();

 private:
  struct Listener {
    UniqueFd fd;
    bool wildcard;  // bound to "any": replies name their source address explicitly
    std::string text;
  };

  bool listen(const IpAddress& address, std::string& error);
  void serve(const Listener& listener);
  void logCounters(const char* when);

  const Options& options_;
  RequestGate& gate_;
  Sampler& sampler_;
  std::vector<Listener> listeners_;
  std::vector<pollfd> pollFds_;
  UniqueFd signalFd_;
  Snapshot snapshot_{};
  std::uint64_t counts_[static_cast<int>(Drop::kCount)] = {};
  std::uint8_t request_[qrvl::wire::kRequestSize];
};

}  // namespace qrvld
