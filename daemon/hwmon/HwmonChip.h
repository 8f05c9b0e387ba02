#pragma once

#include <sys/types.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "hwmon/SensorKind.h"

namespace qrvld {

// A chip found under the hwmon root. Its identity is its name and the resolved path of
// its device link; the hwmonN entry it sits in is only where it is this time.
struct HwmonChip {
  // One sensor of the chip with everything it has: the one table from which its channels
  // are chosen and read and its metrics are written.
  struct Sensor {
    SensorKind kind;
    int index;
    std::string label;                           // empty when the driver gives none
    std::string value;                           // the attribute read: temp1_input, power1_average
    std::string fault;                           // its fault flag; empty without one
    std::array<std::string, kMaxLimits> limits;  // as the kind lists them; empty where missing

    // Whether a channel may take it: its kind has a unit, and so a value of its _input.
    bool feedsChannels() const { return sensorKindInfo(kind).unit != nullptr; }
  };

  // An entry of the root: its name (hwmonN) and inode number. The kernel makes a new
  // entry for every chip it registers, so the inode tells a chip that took over the hwmonN
  // of one that went from that one.
  using Entry = std::pair<std::string, ino_t>;

  std::string name;
  std::string device;  // empty for a chip without a device link
  std::string entry;   // hwmonN
  ino_t inode = 0;     // of the entry
  std::string path;    // root/hwmonN
  std::vector<Sensor> sensors;  // every one with a reading, by kind, then number

  // Every chip under `root`, in the order of their identities (name, then device), so
  // everything derived from the list is the same whatever the hwmonN numbers are. An
  // unreadable root gives no chips and its reason in `error`.
  static std::vector<HwmonChip> scan(const std::string& root, std::string& error);

  // The root's entries in order of name: one directory read, cheap enough for every sample.
  // Empty for an unreadable root.
  static std::vector<Entry> entries(const std::string& root);

  bool sameIdentity(const HwmonChip& other) const;
  // The sensor of that kind and number that a channel may take; null when there is none.
  const Sensor* find(SensorKind kind, int index) const;
};

}  // namespace qrvld
