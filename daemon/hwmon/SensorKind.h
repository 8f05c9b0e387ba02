#pragma once
// The kinds of hwmon attribute qrvld reads, one table as the kernel documents them
// (Documentation/hwmon/sysfs-interface): their names, their units and how the metrics and
// the record's channels show them. The metrics name the sensors as Prometheus's node
// exporter does (temp1, in0, fan2, power1, curr1), so that dashboards can join the two.

#include <string>

namespace qrvld {

// In the order the metrics list them.
enum class SensorKind { Temperature, Voltage, Fan, Power, Current };

inline constexpr int kSensorKindCount = 5;
inline constexpr int kMaxLimits = 3;

struct SensorKindInfo {
  SensorKind kind;
  const char* prefix;              // attribute names are <prefix><N>_<suffix>: temp1_input, power1_average
  double divisor;                  // sysfs units per unit
  const char* metricUnit;          // the unit that ends the metric names
  const char* values[2];           // suffixes that hold the reading, in order of preference
  const char* limits[kMaxLimits];  // suffixes of the limits shown; null where there are fewer
  // The kinds a channel of the record can take have a unit; the others only have metrics.
  const char* unit;
  int decimals;  // as the record formats the channel
  double low;    // plausible range of a shown value, after any multiplier and offset
  double high;
};

// Every kind, in the order of SensorKind.
extern const SensorKindInfo kSensorKinds[kSensorKindCount];

const SensorKindInfo& sensorKindInfo(SensorKind kind);

// Splits an attribute name such as "power1_average" into its kind, number and suffix,
// which is empty for a bare "temp1"; false for attributes of other kinds and names the
// kernel does not write.
bool parseAttribute(const std::string& name, SensorKind& kind, int& index, std::string& suffix);

// "temp1", "in0", "fan3", also with an "_input" suffix, of a kind a channel can take;
// false for anything else.
bool parseSensorName(const std::string& text, SensorKind& kind, int& index);

// "temp1" for (Temperature, 1).
std::string sensorName(SensorKind kind, int index);

}  // namespace qrvld
