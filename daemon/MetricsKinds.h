#pragma once
// The kinds of hwmon sensor the metrics show, with their units and limits. The sensors are
// named as Prometheus's node exporter names them (temp1, in0, fan2, power1, curr1), so that
// dashboards can join the two.

#include <string>

namespace qrvld {

inline constexpr int kMetricsKindCount = 5;
inline constexpr int kMaxLimits = 3;

struct MetricsKind {
  const char* prefix;              // attributes are <prefix><N>_<suffix>
  const char* unit;                // the base unit that ends the metric names
  double divisor;                  // sysfs units per base unit
  const char* values[2];           // suffixes that hold the reading, in order of preference
  const char* limits[kMaxLimits];  // suffixes of the limits shown; null where there are fewer
};

const MetricsKind& metricsKind(int kind);

// Splits an attribute name such as "power1_average" into its kind, number and suffix;
// false for attributes of other kinds and names the kernel does not write.
bool parseMetricsAttribute(const std::string& name, int& kind, int& index, std::string& suffix);

}  // namespace qrvld
