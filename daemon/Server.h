#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Configuration.h"
#include "base/UniqueFd.h"
#include "net/RequestGate.h"
#include "qrvl/Wire.h"
#include "source/Sampler.h"

namespace qrvld {

// The daemon's one poll loop: listening sockets, the sampler's snapshots and signals.
// Requests are read and answered in batches, each from the snapshot already in memory, in
// a buffer built afresh; nothing on that path allocates, blocks or reads hardware.
class Server {
 public:
  // Datagrams read from one socket per wake-up, so a flood on one cannot starve the rest.
  static constexpr int kBatch = 64;

  Server(const Configuration& configuration, RequestGate& gate, Sampler& sampler);
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // SIGTERM, SIGINT, SIGUSR1 and SIGHUP: what open() takes, once the caller has blocked them
  // in every thread.
  static sigset_t signals();
  // Binds the listening sockets and takes signals(). The sampler must have started.
  bool open(std::string& error);
  // Serves until SIGTERM or SIGINT, from the sampler's first snapshot on: requests that
  // come before it wait in the sockets' queues. Logs "ready: ..." when it starts serving.
  void run();
  // What SIGHUP calls, on the loop's thread between batches; before it is given, nothing.
  void onReload(std::function<void()> reload) { reload_ = std::move(reload); }
  // How many datagrams have ended each way so far; callable from any thread.
  std::uint64_t count(RequestCheck outcome) const;

 private:
  struct Listener {
    UniqueFd fd;
    bool wildcard;  // bound to "any": replies name their source address explicitly
    std::string text;
  };

  // Room for the one control message of a wildcard socket, an in_pktinfo or an in6_pktinfo.
  static constexpr std::size_t kControlSize = CMSG_SPACE(sizeof(in6_pktinfo));

  // The buffers of one datagram of a batch, set up once. The k-th answer is built in slot
  // k and names the source kept in its request's slot, a later one when datagrams before
  // it were dropped.
  struct Slot {
    std::uint8_t request[qrvl::wire::kRequestSize];
    sockaddr_storage source;
    alignas(cmsghdr) unsigned char control[kControlSize];
    std::uint8_t response[qrvl::wire::kResponseSize];
    alignas(cmsghdr) unsigned char replyControl[kControlSize];
  };

  bool listen(const IpAddress& address, std::string& error);
  void serve(const Listener& listener);
  // Sends the first `count` replies; returns how many went out.
  int sendReplies(const Listener& listener, int count);
  void logCounters(const char* when);

  const Configuration& configuration_;
  const Options& options_;
  RequestGate& gate_;
  Sampler& sampler_;
  std::function<void()> reload_;
  std::vector<Listener> listeners_;
  std::vector<pollfd> pollFds_;
  UniqueFd signalFd_;
  UniqueFd reportTimer_;
  Snapshot snapshot_{};
  // Written by the poll loop only, once per batch.
  std::atomic<std::uint64_t> counts_[static_cast<int>(RequestCheck::kCount)] = {};
  Slot slots_[kBatch];
  iovec requestIov_[kBatch];
  iovec responseIov_[kBatch];
  mmsghdr requests_[kBatch];
  mmsghdr replies_[kBatch];
};

}  // namespace qrvld
