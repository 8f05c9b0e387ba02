#include "hwmon/ChipWorker.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

namespace qrvld {

struct ChipWorker::State {
  struct Assignment {
    UniqueFd directory;
    std::vector<Feed> feeds;
  };

  std::mutex mutex;
  std::condition_variable wake;  // a round asked for, or the end
  std::condition_variable done;  // a round came back
  std::uint64_t asked = 0;
  std::uint64_t delivered = 0;
  bool stopping = false;
  std::optional<Assignment> next;
  std::vector<Reading> readings;  // of the round `delivered`
  // The thread's own: never touched by the owner.
  Assignment current;
};

ChipWorker::ChipWorker() : state_(std::make_shared<State>()), thread_(&ChipWorker::run, state_) {}

ChipWorker::~ChipWorker() {
  bool reading;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    reading = state_->asked != state_->delivered;
  }
  state_->wake.notify_all();
  // A read that never returns must not hold up the daemon's end; the thread keeps the
  // state alive until it is done with it.
  if (reading) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void ChipWorker::assign(UniqueFd directory, std::vector<Feed> feeds) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->next = State::Assignment{std::move(directory), std::move(feeds)};
}

bool ChipWorker::request() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    started_ = state_->asked == state_->delivered;
    if (!started_) return false;
    ++state_->asked;
  }
  state_->wake.notify_one();
  return true;
}

bool ChipWorker::collect(std::chrono::steady_clock::time_point deadline, std::vector<Reading>& out) {
  if (!std::exchange(started_, false)) return false;
  std::unique_lock<std::mutex> lock(state_->mutex);
  State& s = *state_;
  if (!s.done.wait_until(lock, deadline, [&s] { return s.delivered == s.asked; })) return false;
  out = std::move(s.readings);
  s.readings.clear();
  return true;
}

void ChipWorker::run(const std::shared_ptr<State>& state) {
  State& s = *state;
  std::unique_lock<std::mutex> lock(s.mutex);
  for (;;) {
    s.wake.wait(lock, [&s] { return s.stopping || s.asked != s.delivered; });
    if (s.stopping) return;
    if (s.next) {
      s.current = std::move(*s.next);
      s.next.reset();
    }
    const std::uint64_t round = s.asked;
    lock.unlock();
    std::vector<Reading> readings;
    readings.reserve(s.current.feeds.size());
    for (Feed& feed : s.current.feeds) {
      readings.push_back({feed.key, feed.reader.read(s.current.directory.get(), feed.multiplier, feed.offset)});
    }
    lock.lock();
    s.readings = std::move(readings);
    s.delivered = round;
    s.done.notify_all();
  }
}

}  // namespace qrvld
