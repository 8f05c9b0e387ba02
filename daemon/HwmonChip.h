#pragma once

#include <string>
#include <vector>

#include "SensorKind.h"

namespace qrvld {

// A chip found under the hwmon root. Its identity is its name and the resolved path of
// its device link; the hwmonN entry it sits in is only where it is this time.
struct HwmonChip {
  struct Sensor {
    SensorKind kind;
    int index;
    std::string label;  // empty when the driver gives none
    bool hasFault;      // a <name>_fault flag exists
  };

  std::string name;
  std::string device;  // empty for a chip without a device link
  std::string entry;   // hwmonN
  std::string path;    // root/hwmonN
  std::vector<Sensor> sensors;  // by kind, then number

  // Every chip under `root`, in the order of their identities (name, then device), so
  // everything derived from the list is the same whatever the hwmonN numbers are. An
  // unreadable root gives no chips and its reason in `error`.
  static std::vector<HwmonChip> scan(const std::string& root, std::string& error);

  const Sensor* find(SensorKind kind, int index) const;
};

}  // namespace qrvld
