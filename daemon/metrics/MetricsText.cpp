#include "metrics/MetricsText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "qrvl/Channels.h"
#include "qrvl/Record.h"

namespace qrvld {

namespace {
using Labels = std::initializer_list<std::pair<const char*, std::string>>;

// The node exporter's cleaning of names: lower case, any other character than a-z, 0-9,
// ':' and '_' made '_' (one for each UTF-8 character), '_' trimmed from both ends.
std::string cleaned(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;
    const char lower = byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : c;
    const bool kept = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == ':' || lower == '_';
    out += kept ? lower : '_';
  }
  const auto first = out.find_first_not_of('_');
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of('_') - first + 1);
}

// Drivers write labels in ASCII; any other byte becomes '?', so that no label can make the
// exposition invalid UTF-8.
void appendLabelValue(std::string& out, const std::string& value) {
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else {
      out += byte >= 0x20 && byte < 0x7F ? c : '?';
    }
  }
}

void appendSample(std::string& out, const std::string& name, Labels labels, double value) {
  out += name;
  const char* separator = "{";
  for (const auto& [label, text] : labels) {
    out += separator;
    out += label;
    out += "=\"";
    appendLabelValue(out, text);
    out += '"';
    separator = ",";
  }
  if (labels.size() != 0) out += '}';
  out += ' ';
  char number[32];
  out.append(number, std::to_chars(number, number + sizeof number, value).ptr);
  out += '\n';
}

// A family's HELP and TYPE lines and its samples; a family without samples is left out.
void appendFamily(std::string& out, const std::string& name, const char* type, const std::string& help,
                  const std::string& samples) {
  if (samples.empty()) return;
  out += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n" + samples;
}

// A channel's text field as a number; false for an empty field.
bool fieldValue(const std::uint8_t* record, int channel, double& value) {
  const char* text = reinterpret_cast<const char*>(record) + channel * qrvl::record::kFieldSize;
  const char* end = text + strnlen(text, qrvl::record::kFieldSize);
  const auto result = std::from_chars(text, end, value);
  return text != end && result.ec == std::errc() && result.ptr == end;
}

}  // namespace

std::string exporterChipLabel(const SensorSnapshot::Chip& chip) {
  if (!chip.device.empty()) {
    const std::size_t slash = chip.device.rfind('/');
    const std::string parent = chip.device.substr(0, slash == std::string::npos ? 0 : slash);
    const std::string device = cleaned(chip.device.substr(slash + 1));
    const std::string type = cleaned(parent.substr(parent.rfind('/') + 1));
    if (!type.empty() && !device.empty()) return type + "_" + device;
    if (!device.empty()) return device;
  }
  const std::string name = cleaned(chip.name);
  return name.empty() ? cleaned(chip.entry) : name;
}

std::string metricsOfSample(const SensorSnapshot& sample, const std::uint8_t* record) {
  std::string out;
  std::string lines;
  std::vector<std::string> chips;
  for (const SensorSnapshot::Chip& chip : sample.chips) {
    std::string label = exporterChipLabel(chip);
    // Two chips of one device would give the same series twice, which fails the whole
    // scrape; the later one is told apart by its hwmonN.
    if (std::find(chips.begin(), chips.end(), label) != chips.end()) label += "_" + chip.entry;
    chips.push_back(label);
    appendSample(lines, "qrvl_hwmon_chip_names", {{"chip", label}, {"chip_name", cleaned(chip.name)}}, 1);
  }
  appendFamily(out, "qrvl_hwmon_chip_names", "gauge", "The name of each hwmon chip.", lines);

  for (const SensorKindInfo& kind : kSensorKinds) {
    // The reading (-1), then each limit.
    for (int limit = -1; limit < kMaxLimits; ++limit) {
      if (limit >= 0 && kind.limits[limit] == nullptr) continue;
      const std::string what = limit < 0 ? std::string() : std::string(kind.limits[limit]) + "_";
      const std::string name = std::string("qrvl_hwmon_") + kind.prefix + "_" + what + kind.metricUnit;
      lines.clear();
      for (const SensorSnapshot::Sensor& s : sample.sensors) {
        const double value = limit < 0 ? s.value : s.limits[limit];
        if (s.kind != kind.kind || std::isnan(value)) continue;
        appendSample(lines, name, {{"chip", chips[s.chip]}, {"sensor", kind.prefix + std::to_string(s.index)}},
                     value / kind.divisor);
      }
      const std::string help = limit < 0 ? std::string("Reading") : "The " + std::string(kind.limits[limit]) + " limit";
      appendFamily(out, name, "gauge", help + " of each hwmon " + kind.prefix + " sensor, in " + kind.metricUnit + ".",
                   lines);
    }
  }

  lines.clear();
  for (const SensorSnapshot::Sensor& s : sample.sensors) {
    if (s.label.empty()) continue;
    appendSample(lines, "qrvl_hwmon_sensor_label",
                 {{"chip", chips[s.chip]}, {"label", s.label}, {"sensor", sensorName(s.kind, s.index)}}, 1);
  }
  appendFamily(out, "qrvl_hwmon_sensor_label", "gauge", "The label the driver gives each hwmon sensor.", lines);

  // One family per quantity, its channels in the record's order.
  for (const qrvl::QuantityFacts& family : qrvl::kQuantities) {
    lines.clear();
    for (int c = 0; record != nullptr && c < qrvl::record::kChannelCount; ++c) {
      double value = 0;
      if (&qrvl::quantityFacts(c) == &family && fieldValue(record, c, value)) {
        appendSample(lines, family.metricsFamily, {{"channel", qrvl::channelKey(c)}}, value);
      }
    }
    appendFamily(out, family.metricsFamily, "gauge", family.metricsHelp, lines);
  }
  return out;
}

std::string metricsOfHealth(const MetricsHealth& health) {
  std::string out;
  std::string lines;
  appendSample(lines, "qrvl_requests_answered_total", {},
               static_cast<double>(health.counts[static_cast<int>(RequestCheck::Valid)]));
  appendFamily(out, "qrvl_requests_answered_total", "counter", "UDP requests answered.", lines);
  lines.clear();
  for (int d = static_cast<int>(RequestCheck::Valid) + 1; d < static_cast<int>(RequestCheck::kCount); ++d) {
    appendSample(lines, "qrvl_requests_dropped_total", {{"reason", requestCheckName(static_cast<RequestCheck>(d))}},
                 static_cast<double>(health.counts[d]));
  }
  appendFamily(out, "qrvl_requests_dropped_total", "counter", "UDP datagrams not answered, by reason.", lines);
  lines.clear();
  if (health.snapshotAge) appendSample(lines, "qrvl_snapshot_age_seconds", {}, *health.snapshotAge);
  appendFamily(out, "qrvl_snapshot_age_seconds", "gauge", "Time since the sensors were last sampled.", lines);
  lines.clear();
  appendSample(lines, "qrvl_source_up", {}, health.sourceUp ? 1 : 0);
  appendFamily(out, "qrvl_source_up", "gauge", "Whether the last sample had a reading (1) or not (0).", lines);
  lines.clear();
  appendSample(lines, "qrvl_build_info", {{"version", health.version}}, 1);
  appendFamily(out, "qrvl_build_info", "gauge", "The version of qrvld.", lines);
  return out;
}

}  // namespace qrvld
