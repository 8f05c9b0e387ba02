#pragma once

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "hwmon/ChipWorker.h"
#include "hwmon/HwmonChip.h"
#include "mapping/ChannelMap.h"
#include "source/SensorSource.h"

namespace qrvld {

// Readings from the kernel's hwmon chips under one sysfs root. Their attribute files are
// kept open; the root's entries are listed at every sample and the chips scanned again
// when they change, so a chip that loads late, is reloaded or renumbered is taken in
// without a restart. The automatic mapping is made over every chip seen since the start:
// a chip that appears redoes it, as a start with that chip would have had it, and a chip
// that has gone keeps its channels, empty until it is back. Each chip is read on a worker
// of its own: one whose driver does not answer by the deadline leaves its channels empty
// and is not waited for again until its read has come back. Asked for every sensor, it
// reads them all in the same rounds as the channels, and their limits on a second worker
// per chip once a minute: limits change only when someone sets them.
class HwmonSource : public SensorSource {
 public:
  HwmonSource(std::string root, const ChannelMap& map, ReadFunction read = ::pread);
  HwmonSource(const HwmonSource&) = delete;
  HwmonSource& operator=(const HwmonSource&) = delete;

  const char* name() const override { return "hwmon"; }
  // False when no channel has a value.
  bool sample(qrvl::record::Reading& out, std::chrono::steady_clock::time_point deadline) override;
  void readEverySensor() override;
  void remap(const ChannelMap& map) override;
  const SensorSnapshot& sensors() const override { return metrics_; }

 private:
  // Where a reading of a chip's worker goes: a channel, or a sensor of the snapshot and,
  // for the limit worker, which of its limits. A feed's key is its place in its chip's list.
  struct Target {
    int channel;         // -1 for a sensor's value or limit
    std::size_t sensor;  // into the snapshot's sensors
    int limit;
  };
  // What is kept of each chip besides its description.
  struct Chip {
    bool present = false;                // the last scan found it
    bool feeding = false;                // it has channels to read
    bool reading = false;                // it has channels or sensors to read
    bool answering = true;               // its last round came back in time
    std::unique_ptr<ChipWorker> worker;  // from its first read on; kept while the source lives
    std::unique_ptr<ChipWorker> limits;  // likewise, for its sensors' limits
    std::vector<Target> targets;         // of the worker's feeds
    std::vector<Target> limitTargets;    // of the limit worker's feeds
  };

  void rescan();
  // Takes in the chips a scan found: each in the place of what was known of it, or as a
  // new one in the order of identities.
  void merge(std::vector<HwmonChip> found);
  // Reads every channel; false when a chip has gone from under its files.
  bool readAll(qrvl::record::Reading& out, bool& any, std::chrono::steady_clock::time_point deadline);
  // Takes in the limits of chip `chip` read by its limit worker.
  void takeLimits(std::size_t chip, const std::vector<ChipWorker::Reading>& readings);
  void noteAnswer(std::size_t chip, bool answered);
  void report(const ChannelMap::Resolution& resolution, const std::string& error);

  std::string root_;
  ChannelMap map_;
  ReadFunction read_;
  std::vector<HwmonChip> chips_;           // every chip seen, in the order of their identities
  std::vector<Chip> states_;               // one for each of chips_
  std::vector<HwmonChip::Entry> entries_;  // where the last scan found chips
  bool rescanNeeded_ = true;
  std::string lastReport_;
  bool everySensor_ = false;
  SensorSnapshot metrics_;  // of the chips present
  std::chrono::steady_clock::time_point limitsDue_;
};

}  // namespace qrvld
