#include "source/Sampler.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/Log.h"
#include "qrvl/Record.h"

namespace qrvld {

// One write of at most PIPE_BUF bytes is atomic, so the reader sees whole snapshots only.
static_assert(sizeof(Snapshot) <= PIPE_BUF, "a snapshot passes the pipe in one piece");

Sampler::Sampler(SensorSource& source, std::chrono::milliseconds cadence, Listener everySample)
    : source_(source), cadence_(cadence), everySample_(std::move(everySample)) {
  if (everySample_) source_.readEverySensor();
}

Sampler::~Sampler() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool Sampler::start(std::string& error) {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("cannot create the sampler's pipe: ") + std::strerror(errno);
    return false;
  }
  readFd_.reset(fds[0]);
  writeFd_.reset(fds[1]);
  thread_ = std::thread(&Sampler::run, this);
  return true;
}

bool Sampler::stop(std::chrono::milliseconds patience) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    if (!ended_.wait_for(lock, patience, [this] { return finished_; })) return false;
  }
  if (thread_.joinable()) thread_.join();
  return true;
}

bool Sampler::take(Snapshot& out) {
  bool got = false;
  Snapshot next;
  while (read(readFd_.get(), &next, sizeof next) == static_cast<ssize_t>(sizeof next)) {
    out = next;
    got = true;
  }
  return got;
}

void Sampler::reconfigure(std::chrono::milliseconds cadence, const ChannelMap& map) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    change_ = Change{cadence, map};
  }
  wake_.notify_all();
}

void Sampler::publish(const Snapshot& snapshot) {
  // A full pipe means the loop has not caught up; that snapshot is skipped, a newer one follows.
  while (write(writeFd_.get(), &snapshot, sizeof snapshot) < 0 && errno == EINTR) {
  }
}

void Sampler::run() {
  loop();
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  ended_.notify_all();
}

void Sampler::loop() {
  bool failing = false;
  auto next = std::chrono::steady_clock::now();
  for (;;) {
    // Stamped when the reads start: a sample that waited for a slow sensor still carries
    // the time its values were read, not the time the wait ended.
    const auto started = std::chrono::system_clock::now().time_since_epoch();
    const auto startedSteady = std::chrono::steady_clock::now();
    next += cadence_;
    Snapshot snapshot{};
    qrvl::record::Reading reading{};
    if (source_.sample(reading, next)) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(started).count();
      snapshot.status = qrvl::wire::kStatusReading;
      qrvl::record::encode(reading, static_cast<std::uint64_t>(ms), snapshot.record);
      if (failing) log(Priority::Notice, "source %s reads again", source_.name());
      failing = false;
    } else {
      snapshot.status = qrvl::wire::kStatusNoReading;
      if (!failing) {
        log(Priority::Warning, "source %s has no reading; requests get no reading until it has one", source_.name());
      }
      failing = true;
    }
    // The listener first: once the poll loop has a snapshot, a scrape has it too.
    if (everySample_) {
      const bool up = snapshot.status == qrvl::wire::kStatusReading;
      everySample_(source_.sensors(), up ? snapshot.record : nullptr, startedSteady);
    }
    publish(snapshot);

    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_until(lock, next, [this] { return stopping_ || change_; });
    if (stopping_) return;
    const auto now = std::chrono::steady_clock::now();
    // Reloaded settings are sampled with at once, not only when the old cadence says.
    if (change_) {
      cadence_ = change_->cadence;
      source_.remap(change_->map);
      change_.reset();
      next = now;
    }
    // After a stall (a suspended machine), start afresh instead of sampling in a burst.
    if (next + cadence_ < now) next = now;
  }
}

}  // namespace qrvld
