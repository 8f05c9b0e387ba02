#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "hwmon/SensorKind.h"

namespace qrvld {

// Every hwmon sensor as one sample read it: what a source publishes beside the channels'
// reading, and what the metrics are written from. Values stay in sysfs units
// (millidegrees, millivolts, ...) until they are written out; NaN where there is none.
struct SensorSnapshot {
  struct Chip {
    std::string name;    // its name file
    std::string device;  // the resolved path of its device link; empty without one
    std::string entry;   // hwmonN
  };
  struct Sensor {
    std::size_t chip;  // into chips
    SensorKind kind;
    int index;
    std::string label;  // the driver's; empty when it gives none
    double value;
    std::array<double, kMaxLimits> limits;  // as the kind lists them
  };

  std::vector<Chip> chips;
  std::vector<Sensor> sensors;  // each chip's together, in the order of chips
};

}  // namespace qrvld
