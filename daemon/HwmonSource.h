#pragma once

#include <unistd.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "ChannelMap.h"
#include "HwmonChip.h"
#include "SensorReader.h"
#include "SensorSource.h"

namespace qrvld {

// Readings from the kernel's hwmon chips under one sysfs root. Their attribute files are
// kept open; the root's entries are listed at every sample and the chips scanned again
// when they change, so a chip that loads late, is reloaded or renumbered is taken in
// without a restart. The automatic mapping is made over every chip seen since the start:
// a chip that appears redoes it, as a start with that chip would have had it, and a chip
// that has gone keeps its channels, empty until it is back.
class HwmonSource : public SensorSource {
 public:
  HwmonSource(std::string root, const ChannelMap& map, ReadFunction read = ::pread);
  ~HwmonSource() override;
  HwmonSource(const HwmonSource&) = delete;
  HwmonSource& operator=(const HwmonSource&) = delete;

  const char* name() const override { return "hwmon"; }
  // False when no channel has a value.
  bool sample(qrvl::record::Reading& out) override;

 private:
  struct Feed {
    Binding binding;
    SensorReader reader;
  };

  void rescan();
  // Takes in the chips a scan found: each in the place of what was known of it, or as a
  // new one in the order of identities.
  void merge(std::vector<HwmonChip> found);
  void closeChips();
  // Reads every channel; false when a chip has gone from under its files.
  bool readAll(qrvl::record::Reading& out, bool& any);
  void report(const ChannelMap::Resolution& resolution, const std::string& error);

  std::string root_;
  ChannelMap map_;
  ReadFunction read_;
  std::vector<HwmonChip> chips_;  // every chip seen, in the order of their identities
  std::vector<bool> present_;     // whether the last scan found it
  std::vector<int> chipFds_;
  std::vector<HwmonChip::Entry> entries_;  // where the last scan found chips
  std::array<std::optional<Feed>, qrvl::record::kChannelCount> feeds_;
  bool rescanNeeded_ = true;
  std::string lastReport_;
};

}  // namespace qrvld
