#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "base/UniqueFd.h"
#include "net/IpAddress.h"

namespace qrvld {

// The HTTP connections of the metrics servers as a thread of its own watches them: a
// connection whose request head (the TLS handshake, request line and headers) takes longer
// than the deadline is shut down however steadily it trickles in, and a reload can shut the
// connections of clients it no longer admits. It keeps a duplicate of each socket, so a
// shutdown never reaches a descriptor number the server has closed and reused meanwhile.
class ConnectionWatch {
 public:
  using Clock = std::chrono::steady_clock;
  struct Entry;

  explicit ConnectionWatch(std::chrono::milliseconds headDeadline);
  // Ends the thread; every connection must have been closed by then.
  ~ConnectionWatch();
  ConnectionWatch(const ConnectionWatch&) = delete;
  ConnectionWatch& operator=(const ConnectionWatch&) = delete;

  // A connection accepted from `client` on socket `fd`; its first head starts now. The
  // entry lives until closed() is called with it.
  Entry* opened(int fd, const IpAddress& client);
  // Its request head is complete: no deadline while the request is answered.
  void headDone(Entry* entry);
  // Its request was answered: a kept connection's next head starts now.
  void requestDone(Entry* entry);
  void closed(Entry* entry);
  // Shuts down every connection of a client that `admits` refuses; returns how many.
  int refuse(const std::function<bool(const IpAddress&)>& admits);
  // Connections shut down for a slow head so far.
  unsigned long shutForSlowHead() const;

 private:
  void run();

  const Clock::duration deadline_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::list<Entry> entries_;
  unsigned long slow_ = 0;
  std::thread thread_;
};

}  // namespace qrvld
