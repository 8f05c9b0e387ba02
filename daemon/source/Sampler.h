#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/UniqueFd.h"
#include "mapping/ChannelMap.h"
#include "qrvl/Wire.h"
#include "source/SensorSource.h"

namespace qrvld {

// What the request path answers with: the latest reading and whether there is one.
struct Snapshot {
  std::uint8_t status;
  std::uint8_t record[qrvl::wire::kRecordSize];
};

// Samples the source on its own thread at a fixed cadence and hands every snapshot to the
// poll loop through a pipe, so the loop never waits for the source; the threads share only
// the settings a reload hands over, under a lock. Each sample is given until the next is
// due: what the source has not read by then is empty in that snapshot, so the snapshots
// keep their cadence. Given a listener, it asks the source for every sensor and hands the
// listener each sample's sensors as well, from the same reads, before the poll loop has
// the snapshot.
class Sampler {
 public:
  // Every sensor of a sample, its record (null when it had no reading) and when it was taken;
  // on the sampler's thread.
  using Listener = std::function<void(const SensorSnapshot& sensors, const std::uint8_t* record,
                                      std::chrono::steady_clock::time_point sampled)>;

  Sampler(SensorSource& source, std::chrono::milliseconds cadence, Listener everySample = {});
  // Waits for the thread however long it takes; see stop().
  ~Sampler();
  Sampler(const Sampler&) = delete;
  Sampler& operator=(const Sampler&) = delete;

  bool start(std::string& error);
  // Asks the thread to end and waits for it at most `patience`; false when it has not
  // ended, as when a sample still waits for its sensors: the caller may then end the
  // process without it.
  bool stop(std::chrono::milliseconds patience);
  // Readable when a snapshot waits.
  int fd() const { return readFd_.get(); }
  // Takes the newest waiting snapshot without blocking; false when none waits.
  bool take(Snapshot& out);
  // Hands the thread a reloaded cadence and [map] section; it takes them together, samples
  // with them at once and keeps the new cadence from there.
  void reconfigure(std::chrono::milliseconds cadence, const ChannelMap& map);

 private:
  void run();
  void loop();
  void publish(const Snapshot& snapshot);

  struct Change {
    std::chrono::milliseconds cadence;
    ChannelMap map;
  };

  SensorSource& source_;
  std::chrono::milliseconds cadence_;  // the thread's own once it runs
  Listener everySample_;
  UniqueFd readFd_;
  UniqueFd writeFd_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable ended_;
  bool stopping_ = false;
  bool finished_ = false;
  std::optional<Change> change_;  // waiting for the thread
};

}  // namespace qrvld
