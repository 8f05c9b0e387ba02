#pragma once
// The kinds of hwmon attribute qrvld reads, with their units as the kernel documents them
// (Documentation/hwmon/sysfs-interface) and the range a reading must fall in to be shown.

#include <string>

namespace qrvld {

enum class SensorKind { Temperature, Voltage, Fan };

struct SensorKindInfo {
  SensorKind kind;
  const char* prefix;  // attribute names are <prefix><N>_input, <prefix><N>_label, ...
  double scale;        // sysfs units to the record's units
  double low;          // plausible range of a shown value, after any multiplier and offset
  double high;
  const char* unit;
  int decimals;        // as the record formats the channel
};

const SensorKindInfo& sensorKindInfo(SensorKind kind);

// "temp1", "in0", "fan3", also with an "_input" suffix; false for anything else.
bool parseSensorName(const std::string& text, SensorKind& kind, int& index);

// "temp1" for (Temperature, 1).
std::string sensorName(SensorKind kind, int index);

}  // namespace qrvld
