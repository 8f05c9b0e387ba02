#include "web/WebMapping.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace qrvl::web {

namespace {
const char* unitOf(Quantity q) {
  return q == Quantity::Other ? nullptr : quantityFacts(static_cast<qrvl::Quantity>(q)).unit;
}

// "45.5 °C", "1,104 V", "-3.25": the number with '.' or ',' as its decimal mark, and the
// rest after it (spaces trimmed) as the unit. A number longer than any sensor gives is no
// value, and is never copied: a server's text costs one look at each byte.
bool parseText(const std::string& text, double& value, std::string& unit) {
  constexpr std::size_t kMaxNumber = 40;
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return false;
  char number[kMaxNumber + 1];
  std::size_t length = 0;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  bool digits = false;
  bool mark = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const bool digit = c >= '0' && c <= '9';
    const bool decimal = (c == '.' || c == ',') && !mark;
    if (!digit && !decimal) break;
    if (length == kMaxNumber) return false;
    // From the C locale's point of view, so the process locale cannot change the mark.
    number[length++] = decimal ? '.' : c;
    digits = digits || digit;
    mark = mark || decimal;
  }
  if (!digits) return false;
  const auto parsed = std::from_chars(number, number + length, value);
  if (parsed.ec != std::errc() || parsed.ptr != number + length) return false;
  if (negative) value = -value;
  const std::size_t first = text.find_first_not_of(' ', i);
  const std::size_t last = text.find_last_not_of(' ');
  unit = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  return true;
}

const char kFahrenheit[] = "\xC2\xB0"
                          "F";

Quantity quantityOfUnit(const std::string& unit) {
  for (Quantity q : {Quantity::Temperature, Quantity::Voltage, Quantity::Fan}) {
    if (unit == unitOf(q)) return q;
  }
  // A server whose display is set to Fahrenheit writes its temperatures so.
  return unit == kFahrenheit ? Quantity::Temperature : Quantity::Other;
}
}  // namespace

Quantity quantityOf(const WebSensor& sensor) {
  if (sensor.type == "Temperature") return Quantity::Temperature;
  if (sensor.type == "Voltage") return Quantity::Voltage;
  if (sensor.type == "Fan") return Quantity::Fan;
  if (!sensor.type.empty()) return Quantity::Other;
  double value;
  std::string unit;
  return parseText(sensor.value, value, unit) ? quantityOfUnit(unit) : Quantity::Other;
}

Hardware hardwareOf(const WebSensor& sensor) {
  const std::size_t start = sensor.id.find_first_not_of('/');
  if (start == std::string::npos) return Hardware::Other;
  const std::size_t end = sensor.id.find('/', start);
  const std::string_view first =
      std::string_view(sensor.id).substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (first == "intelcpu" || first == "amdcpu") return Hardware::Cpu;
  // The mainboard's Super I/O chips and embedded controllers.
  if (first == "lpc") return Hardware::Board;
  return Hardware::Other;
}

Quantity quantityOf(record::Channel c) { return static_cast<Quantity>(channelFacts(c).quantity); }

std::optional<double> valueFor(const WebSensor& sensor, record::Channel c) {
  const Quantity wanted = quantityOf(c);
  if (sensor.raw == WebSensor::Raw::Null) return std::nullopt;
  if (sensor.raw == WebSensor::Raw::Number) {
    // Raw numbers are in the sensor's own unit, whatever the display shows.
    if (quantityOf(sensor) != wanted || !std::isfinite(sensor.rawNumber)) return std::nullopt;
    return sensor.rawNumber;
  }
  for (const std::string* text : {&sensor.rawText, &sensor.value}) {
    if (text == &sensor.rawText && sensor.raw != WebSensor::Raw::Text) continue;
    double value;
    std::string unit;
    if (parseText(*text, value, unit)) {
      if (quantityOfUnit(unit) != wanted) return std::nullopt;
      return unit == kFahrenheit ? (value - 32.0) * 5.0 / 9.0 : value;
    }
  }
  return std::nullopt;
}

}  // namespace qrvl::web
