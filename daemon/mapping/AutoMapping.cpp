#include "mapping/AutoMapping.h"

#include <strings.h>

#include <cstring>

namespace qrvld {

using namespace qrvl::record;

namespace {
const char kSuperIo[] = "superio";
const char* const kSuperIoPrefixes[] = {"nct6", "it8", "w83", "f71", "f81"};

// One way to find a channel's sensor: on a chip (a name, a name prefix ending in '*',
// kSuperIo, or any chip for nullptr), the sensor with this label, or without a label
// rule the one with this number.
struct Rule {
  Channel channel;
  const char* chip;
  SensorKind kind;
  const char* label;
  int index;
};

constexpr SensorKind kTemp = SensorKind::Temperature;
constexpr SensorKind kVolt = SensorKind::Voltage;

// In order of preference for each channel.
const Rule kRules[] = {
    {CpuTemp, "coretemp", kTemp, "Package id 0", 0},
    {CpuTemp, "k10temp", kTemp, "Tdie", 0},
    {CpuTemp, "k10temp", kTemp, "Tctl", 0},
    {CpuTemp, nullptr, kTemp, "CPU", 0},
    {CpuTemp, nullptr, kTemp, "CPU Temp", 0},
    {CpuTemp, nullptr, kTemp, "CPUTIN", 0},
    {CpuTemp, "cpu_thermal", kTemp, nullptr, 1},
    {PwrTemp, nullptr, kTemp, "VRM", 0},
    {PwrTemp, nullptr, kTemp, "VRM Temp", 0},
    {PwrTemp, nullptr, kTemp, "MOS", 0},
    {PwrTemp, nullptr, kTemp, "MOSFET", 0},
    {SysTemp, nullptr, kTemp, "SYSTIN", 0},
    {SysTemp, nullptr, kTemp, "Motherboard", 0},
    {SysTemp, nullptr, kTemp, "System", 0},
    {SysTemp, nullptr, kTemp, "SYS Temp", 0},
    {SysTemp, kSuperIo, kTemp, nullptr, 1},
    {Vcore, nullptr, kVolt, "Vcore", 0},
    {Vcore, nullptr, kVolt, "CPU Core", 0},
    {Vcore, nullptr, kVolt, "CPUVCORE", 0},
    {Vcore, kSuperIo, kVolt, nullptr, 0},
    {Vtt, nullptr, kVolt, "VTT", 0},
    {Vtt, nullptr, kVolt, "CPU VTT", 0},
    {Vio, nullptr, kVolt, "Vio", 0},
    {Vio, nullptr, kVolt, "+3.3V", 0},
    {Vio, nullptr, kVolt, "3VCC", 0},
    {Vio, nullptr, kVolt, "VCC3", 0},
    {Vio, nullptr, kVolt, "VCC", 0},
    {Vio, "nct6*", kVolt, nullptr, 3},
};

bool isSuperIo(const std::string& name) {
  for (const char* prefix : kSuperIoPrefixes) {
    if (name.compare(0, std::strlen(prefix), prefix) == 0) return true;
  }
  return false;
}

bool chipMatches(const char* pattern, const std::string& name) {
  if (pattern == nullptr) return true;
  if (pattern == kSuperIo) return isSuperIo(name);
  const std::size_t n = std::strlen(pattern);
  if (pattern[n - 1] == '*') return name.compare(0, n - 1, pattern, n - 1) == 0;
  return name == pattern;
}

class Picker {
 public:
  Picker(const std::vector<HwmonChip>& chips, Bindings& bindings) : chips_(chips), bindings_(bindings) {}

  bool used(std::size_t chip, SensorKind kind, int index) const {
    for (const auto& b : bindings_) {
      if (b && b->chip == chip && b->kind == kind && b->index == index) return true;
    }
    return false;
  }

  void apply(const Rule& rule) {
    for (std::size_t c = 0; c < chips_.size(); ++c) {
      if (!chipMatches(rule.chip, chips_[c].name)) continue;
      for (const HwmonChip::Sensor& s : chips_[c].sensors) {
        if (s.kind != rule.kind || used(c, s.kind, s.index)) continue;
        const bool fits = rule.label != nullptr ? strcasecmp(s.label.c_str(), rule.label) == 0 : s.index == rule.index;
        if (fits) {
          bind(rule.channel, c, s);
          return;
        }
      }
    }
  }

  // The chip whose fans become Fan1-3: Super-I/O chips first.
  void mapFans(const std::array<bool, kChannelCount>& wanted) {
    for (bool superIoOnly : {true, false}) {
      for (std::size_t c = 0; c < chips_.size(); ++c) {
        if (superIoOnly && !isSuperIo(chips_[c].name)) continue;
        if (chips_[c].find(SensorKind::Fan, 1) == nullptr && chips_[c].find(SensorKind::Fan, 2) == nullptr &&
            chips_[c].find(SensorKind::Fan, 3) == nullptr) {
          continue;
        }
        for (int n = 1; n <= 3; ++n) {
          const Channel channel = static_cast<Channel>(Fan1 + n - 1);
          const HwmonChip::Sensor* s = chips_[c].find(SensorKind::Fan, n);
          if (wanted[channel] && !bindings_[channel] && s != nullptr && !used(c, SensorKind::Fan, n)) {
            bind(channel, c, *s);
          }
        }
        return;
      }
    }
  }

 private:
  void bind(Channel channel, std::size_t chip, const HwmonChip::Sensor& s) {
    bindings_[channel] = Binding{chip, s.kind, s.index, 1.0, 0.0, true};
  }

  const std::vector<HwmonChip>& chips_;
  Bindings& bindings_;
};
}  // namespace

ChannelMap::Resolution mapChannels(const ChannelMap& map, const std::vector<HwmonChip>& chips) {
  ChannelMap::Resolution r = map.resolve(chips);
  Picker picker(chips, r.bindings);
  for (const Rule& rule : kRules) {
    if (r.automatic[rule.channel] && !r.bindings[rule.channel]) picker.apply(rule);
  }
  picker.mapFans(r.automatic);
  return r;
}

}  // namespace qrvld
