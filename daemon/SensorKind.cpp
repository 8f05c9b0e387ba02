#include "SensorKind.h"

#include <charconv>

namespace qrvld {

namespace {
// Millidegrees Celsius, millivolts, revolutions per minute. The ranges leave out what a
// reading cannot be: the -128 and 127 degrees of a disconnected thermistor, a fan count
// that overflowed its divider, a voltage no board input carries.
const SensorKindInfo kKinds[] = {
    {SensorKind::Temperature, "temp", 0.001, -40.0, 125.0, "C", 1},
    {SensorKind::Voltage, "in", 0.001, -20.0, 20.0, "V", 3},
    {SensorKind::Fan, "fan", 1.0, 0.0, 30000.0, "RPM", 0},
};
}  // namespace

const SensorKindInfo& sensorKindInfo(SensorKind kind) { return kKinds[static_cast<int>(kind)]; }

bool parseSensorName(const std::string& text, SensorKind& kind, int& index) {
  std::string name = text;
  const std::string suffix = "_input";
  if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
    name.resize(name.size() - suffix.size());
  }
  for (const SensorKindInfo& info : kKinds) {
    const std::string prefix = info.prefix;
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) continue;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    int value = 0;
    const auto result = std::from_chars(first, last, value);
    // Leading zeros or signs are not how the kernel names attributes.
    if (result.ec != std::errc() || result.ptr != last || value < 0 || (*first == '0' && last - first > 1)) {
      return false;
    }
    kind = info.kind;
    index = value;
    return true;
  }
  return false;
}

std::string sensorName(SensorKind kind, int index) { return sensorKindInfo(kind).prefix + std::to_string(index); }

}  // namespace qrvld
