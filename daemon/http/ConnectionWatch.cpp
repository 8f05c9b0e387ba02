#include "http/ConnectionWatch.h"

#include <fcntl.h>
#include <sys/socket.h>

namespace qrvld {

struct ConnectionWatch::Entry {
  UniqueFd socket;
  IpAddress client;
  Clock::time_point headSince;
  bool inHead = true;
  bool shut = false;
};

namespace {
// How late past its deadline a slow head may be shut down.
constexpr auto kSweep = std::chrono::milliseconds(200);
}  // namespace

ConnectionWatch::ConnectionWatch(std::chrono::milliseconds headDeadline)
    : deadline_(headDeadline), thread_([this] { run(); }) {}

ConnectionWatch::~ConnectionWatch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

ConnectionWatch::Entry* ConnectionWatch::opened(int fd, const IpAddress& client) {
  UniqueFd copy(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back({std::move(copy), client, Clock::now()});
  return &entries_.back();
}

void ConnectionWatch::headDone(Entry* entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entry->inHead = false;
}

void ConnectionWatch::requestDone(Entry* entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entry->inHead = true;
  entry->headSince = Clock::now();
}

void ConnectionWatch::closed(Entry* entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (&*it == entry) {
      entries_.erase(it);
      return;
    }
  }
}

int ConnectionWatch::refuse(const std::function<bool(const IpAddress&)>& admits) {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (Entry& e : entries_) {
    if (e.shut || admits(e.client)) continue;
    // The server sees the end of the stream and closes the connection itself.
    if (e.socket) shutdown(e.socket.get(), SHUT_RDWR);
    e.shut = true;
    ++count;
  }
  return count;
}

unsigned long ConnectionWatch::shutForSlowHead() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slow_;
}

void ConnectionWatch::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, kSweep);
    const auto now = Clock::now();
    for (Entry& e : entries_) {
      if (e.shut || !e.inHead || now - e.headSince < deadline_) continue;
      if (e.socket) shutdown(e.socket.get(), SHUT_RDWR);
      e.shut = true;
      ++slow_;
    }
  }
}

}  // namespace qrvld
