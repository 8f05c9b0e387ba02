#pragma once

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"
#include "hwmon/SensorReader.h"

namespace qrvld {

// Reads the sensors of one chip on a thread of its own, so that a driver whose read does
// not return holds up that chip only. The owner starts a round of reads and waits for it
// until a deadline; a round that comes back later is never used.
class ChipWorker {
 public:
  // One sensor to read, under a key of the owner's choosing (a channel, a line of a list).
  struct Feed {
    int key;
    SensorReader reader;
    double multiplier;
    double offset;
  };
  struct Reading {
    int key;
    SensorReader::Result result;
  };

  ChipWorker();
  // Ends the thread; one held in a read is left to end by itself when the read returns.
  ~ChipWorker();
  ChipWorker(const ChipWorker&) = delete;
  ChipWorker& operator=(const ChipWorker&) = delete;

  // The chip's directory and the sensors to read in it from the next round on. The thread
  // takes them up between rounds, so no file is closed under a read.
  void assign(UniqueFd directory, std::vector<Feed> feeds);
  // Starts a round; false when the last one has not come back yet.
  bool request();
  // Waits until `deadline` for the round request() started; false when it has not come
  // back by then, or none was started.
  bool collect(std::chrono::steady_clock::time_point deadline, std::vector<Reading>& out);

 private:
  struct State;
  static void run(const std::shared_ptr<State>& state);

  // Shared with the thread, which may outlive this object while a read holds it.
  std::shared_ptr<State> state_;
  std::thread thread_;
  bool started_ = false;  // request() started the round collect() waits for
};

}  // namespace qrvld
