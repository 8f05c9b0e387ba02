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

// Readings from the kernel's hwmon chips under one sysfs root. The chips are looked up
// once and their attribute files kept open; the root is scanned again only while a chip
// the mapping needs is missing, or when one has gone away, so a chip that is reloaded or
// renumbered is found again without a restart.
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
  void closeChips();
  // Reads every channel; false when a chip has gone from under its files.
  bool readAll(qrvl::record::Reading& out, bool& any);
  void report(const ChannelMap::Resolution& resolution, const std::string& error);

  std::string root_;
  ChannelMap map_;
  ReadFunction read_;
  std::vector<HwmonChip> chips_;
  std::vector<int> chipFds_;
  std::array<std::optional<Feed>, qrvl::record::kChannelCount> feeds_;
  bool rescanNeeded_ = true;
  std::string lastReport_;
};

}  // namespace qrvld
