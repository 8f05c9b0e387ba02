#include "WebMapping.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace qrvl::web {

namespace {
using record::Channel;

// The automatic choice, in order of preference: the first rule with a sensor of that
// hardware, quantity and name (any case) wins, and within a rule the earlier name. The
// names are those LibreHardwareMonitor gives on common CPUs and mainboard chips (Nuvoton,
// ITE, Fintek, Winbond); standby rails, GPUs and disks are never named.
struct Rule {
  Channel channel;
  Hardware hardware;
  std::vector<const char*> names;
};

const std::vector<Rule>& rules() {
  static const std::vector<Rule> kRules = {
      {record::CpuTemp, Hardware::Cpu, {"CPU Package", "Core (Tctl/Tdie)", "Core (Tdie)", "Core (Tctl)", "Package"}},
      {record::CpuTemp, Hardware::Board, {"CPU", "CPU Core"}},
      {record::PwrTemp, Hardware::Board, {"VRM MOS", "VRM", "MOS", "CPU VRM"}},
      {record::SysTemp, Hardware::Board, {"System", "System #1", "Motherboard", "Mainboard"}},
      {record::Vcore, Hardware::Board, {"Vcore", "CPU Vcore", "CPU Core"}},
      {record::Vcore, Hardware::Cpu, {"CPU Core", "Core (SVI2 TFN)", "Core"}},
      {record::Vtt, Hardware::Board, {"VTT", "CPU VTT", "CPU Termination"}},
      {record::Vio, Hardware::Board, {"+3.3V", "3VCC", "VCC3V", "+3.3 V", "3.3V"}},
      {record::Fan1, Hardware::Board, {"CPU Fan", "CPU Fan #1", "Fan #1"}},
      {record::Fan2, Hardware::Board, {"System Fan", "System Fan #1", "Chassis Fan #1", "Chassis Fan 1", "Chassis Fan", "Fan #2"}},
      {record::Fan3, Hardware::Board, {"Auxiliary Fan", "System Fan #2", "Chassis Fan #2", "Chassis Fan 2", "Fan #3"}},
  };
  return kRules;
}

bool sameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

const char* unitOf(Quantity q) {
  switch (q) {
    case Quantity::Temperature:
      return "\xC2\xB0"
             "C";  // °C in UTF-8
    case Quantity::Voltage:
      return "V";
    case Quantity::Fan:
      return "RPM";
    default:
      return nullptr;
  }
}

// "45.5 °C", "1,104 V", "-3.25": the number with '.' or ',' as its decimal mark, and the
// rest after it (spaces trimmed) as the unit.
bool parseText(const std::string& text, double& value, std::string& unit) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return false;
  std::string number;
  if (text[i] == '-' || text[i] == '+') number += text[i++];
  bool digits = false;
  bool mark = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      number += c;
      digits = true;
    } else if ((c == '.' || c == ',') && !mark) {
      number += '.';
      mark = true;
    } else {
      break;
    }
  }
  if (!digits || number.size() > 40) return false;
  // Parsed by hand, so the process locale cannot change the decimal mark.
  double whole = 0.0;
  double scale = 1.0;
  bool fraction = false;
  for (char c : number) {
    if (c == '.') {
      fraction = true;
    } else if (c >= '0' && c <= '9') {
      if (fraction) {
        scale /= 10.0;
        whole += (c - '0') * scale;
      } else {
        whole = whole * 10.0 + (c - '0');
      }
    }
  }
  value = number[0] == '-' ? -whole : whole;
  const std::size_t first = text.find_first_not_of(' ', i);
  const std::size_t last = text.find_last_not_of(' ');
  unit = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  return true;
}

Quantity quantityOfUnit(const std::string& unit) {
  for (Quantity q : {Quantity::Temperature, Quantity::Voltage, Quantity::Fan}) {
    if (unit == unitOf(q)) return q;
  }
  return Quantity::Other;
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
  const std::string first =
      start == std::string::npos ? "" : sensor.id.substr(start, sensor.id.find('/', start) - start);
  if (first == "intelcpu" || first == "amdcpu") return Hardware::Cpu;
  // The mainboard's Super I/O chips and embedded controllers.
  if (first == "lpc") return Hardware::Board;
  return Hardware::Other;
}

Quantity quantityOf(record::Channel c) {
  return c <= record::SysTemp ? Quantity::Temperature : c <= record::Vio ? Quantity::Voltage : Quantity::Fan;
}

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
      return value;
    }
  }
  return std::nullopt;
}

std::vector<int> chooseSensors(const std::vector<WebSensor>& sensors,
                               const std::string (&pins)[record::kChannelCount]) {
  std::vector<int> chosen(record::kChannelCount, -1);
  for (int c = 0; c < record::kChannelCount; ++c) {
    if (pins[c].empty()) continue;
    for (std::size_t i = 0; i < sensors.size(); ++i) {
      if (sensors[i].id == pins[c]) chosen[c] = static_cast<int>(i);
    }
  }
  std::vector<bool> decided(record::kChannelCount, false);
  for (int c = 0; c < record::kChannelCount; ++c) decided[c] = !pins[c].empty();
  for (const Rule& rule : rules()) {
    if (decided[rule.channel]) continue;
    const Quantity quantity = quantityOf(rule.channel);
    for (const char* name : rule.names) {
      for (std::size_t i = 0; i < sensors.size() && !decided[rule.channel]; ++i) {
        const WebSensor& s = sensors[i];
        if (hardwareOf(s) == rule.hardware && quantityOf(s) == quantity && sameText(s.name, name)) {
          chosen[rule.channel] = static_cast<int>(i);
          decided[rule.channel] = true;
        }
      }
    }
  }
  return chosen;
}

}  // namespace qrvl::web
