#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "hwmon/HwmonChip.h"
#include "hwmon/SensorKind.h"
#include "qrvl/Record.h"

namespace qrvld {

// Where one channel's value comes from among the chips found.
struct Binding {
  std::size_t chip = 0;  // index into the chips it was resolved against
  SensorKind kind = SensorKind::Temperature;
  int index = 0;
  double multiplier = 1.0;
  double offset = 0.0;
  bool automatic = false;
};

using Bindings = std::array<std::optional<Binding>, qrvl::record::kChannelCount>;

// The [map] section: for each channel a chip and attribute with a multiplier and offset,
// "none", or nothing, in which case the automatic rules (mapChannels) choose.
class ChannelMap {
 public:
  struct Resolution {
    Bindings bindings;
    std::array<bool, qrvl::record::kChannelCount> automatic{};  // left to the automatic rules
    bool missing = false;            // a configured chip or attribute is not there
    std::vector<std::string> notes;  // what the log should say about it
  };

  // One [map] entry: `key` is cpu, pwr, sys, vcore, vtt, vio, fan1, fan2 or fan3; `value`
  // is "none" or "CHIP[@DEVICE] ATTRIBUTE [* MULTIPLIER] [+|- OFFSET]".
  bool set(const std::string& key, const std::string& value, std::string& error);

  // The configured entries against `chips`; the channels left to the automatic rules stay
  // unbound and are marked as such.
  Resolution resolve(const std::vector<HwmonChip>& chips) const;

  // The config key of a channel: "cpu", "vcore", "fan1", ...
  static std::string key(qrvl::record::Channel channel);
  // A binding as a [map] value, naming the device only where the chip's name is shared.
  static std::string describe(const Binding& binding, const std::vector<HwmonChip>& chips);

 private:
  struct Entry {
    enum class Mode { Automatic, None, Sensor } mode = Mode::Automatic;
    std::string chip;
    std::string device;  // the resolved device path or a trailing part of it; empty for any
    SensorKind kind = SensorKind::Temperature;
    int index = 0;
    double multiplier = 1.0;
    double offset = 0.0;
  };

  std::array<Entry, qrvl::record::kChannelCount> entries_;
};

}  // namespace qrvld
