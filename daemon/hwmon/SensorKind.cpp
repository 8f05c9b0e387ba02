#include "hwmon/SensorKind.h"

#include <charconv>
#include <cstring>

namespace qrvld {

// Millidegrees Celsius, millivolts, RPM, microwatts, milliamperes. Many power meters
// (amdgpu among them) have an average and no input. The ranges leave out what a reading
// cannot be: the -128 and 127 degrees of a disconnected thermistor, a fan count that
// overflowed its divider, a voltage no board input carries.
const SensorKindInfo kSensorKinds[kSensorKindCount] = {
    {SensorKind::Temperature, "temp", 1000.0, "celsius", {"input", nullptr}, {"max", "crit", "min"}, "C", 1, -40.0,
     125.0},
    {SensorKind::Voltage, "in", 1000.0, "volts", {"input", nullptr}, {"min", "max", nullptr}, "V", 3, -20.0, 20.0},
    {SensorKind::Fan, "fan", 1.0, "rpm", {"input", nullptr}, {"min", "max", nullptr}, "RPM", 0, 0.0, 30000.0},
    {SensorKind::Power, "power", 1000000.0, "watts", {"input", "average"}, {"max", "crit", "cap"}, nullptr, 0, 0, 0},
    {SensorKind::Current, "curr", 1000.0, "amps", {"input", nullptr}, {"min", "max", "crit"}, nullptr, 0, 0, 0},
};

const SensorKindInfo& sensorKindInfo(SensorKind kind) { return kSensorKinds[static_cast<int>(kind)]; }

bool parseAttribute(const std::string& name, SensorKind& kind, int& index, std::string& suffix) {
  for (const SensorKindInfo& info : kSensorKinds) {
    const std::size_t length = std::strlen(info.prefix);
    if (name.compare(0, length, info.prefix) != 0) continue;
    const char* first = name.data() + length;
    const char* last = name.data() + name.size();
    const auto number = std::from_chars(first, last, index);
    // Leading zeros or signs are not how the kernel names attributes.
    if (number.ec != std::errc() || index < 0 || (*first == '0' && number.ptr - first > 1)) return false;
    if (number.ptr != last && (*number.ptr != '_' || number.ptr + 1 == last)) return false;
    kind = info.kind;
    suffix.assign(number.ptr == last ? last : number.ptr + 1, last);
    return true;
  }
  return false;
}

bool parseSensorName(const std::string& text, SensorKind& kind, int& index) {
  std::string suffix;
  SensorKind parsed;
  if (!parseAttribute(text, parsed, index, suffix) || !(suffix.empty() || suffix == "input") ||
      sensorKindInfo(parsed).unit == nullptr) {
    return false;
  }
  kind = parsed;
  return true;
}

std::string sensorName(SensorKind kind, int index) { return sensorKindInfo(kind).prefix + std::to_string(index); }

}  // namespace qrvld
