#pragma once
// Which sensor of a LibreHardwareMonitor tree feeds which channel, kept from poll to poll.

#include <string>
#include <vector>

#include "qrvl/Record.h"
#include "web/SensorTree.h"

namespace qrvl::web {

// A pinned id where the address names one; else the sensor of the first rule and name
// that has a value in the channel's unit, or, when none has, the first one found. A
// sensor chosen with a value stays the channel's source while the tree has it, so a
// reading missing now and then does not switch the channel between sensors.
class SensorChoice {
 public:
  explicit SensorChoice(const std::string (&pins)[record::kChannelCount]);

  // For each channel, the index of its sensor in `sensors`, or -1 (a pinned id the tree
  // lacks included). One pass over the sensors, whatever their number and texts.
  std::vector<int> choose(const std::vector<WebSensor>& sensors);

 private:
  std::string pins_[record::kChannelCount];
  std::string kept_[record::kChannelCount];
};

}  // namespace qrvl::web
