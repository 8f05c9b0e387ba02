#pragma once
// The sensors in a LibreHardwareMonitor data.json tree: nodes {id, Text, Min, Value, Max,
// ImageURL, Children}, where sensor nodes add SensorId and Type and, in newer versions,
// RawMin, RawValue and RawMax (a formatted text in some versions, a number or null in
// others). Read with a SAX reader, so memory stays near the size of what is kept.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace qrvl::web {

struct WebSensor {
  enum class Raw { Absent, Null, Number, Text };

  std::string id;     // SensorId, such as "/lpc/nct6798d/0/temperature/1"
  std::string name;   // Text, such as "CPU Core"
  std::string type;   // Type, such as "Temperature"; empty in trees without it
  std::string value;  // Value: display text in the PC's number format, "45.5 °C"
  Raw raw = Raw::Absent;
  double rawNumber = 0.0;
  std::string rawText;
};

inline constexpr int kMaxTreeDepth = 64;
inline constexpr std::size_t kMaxSensors = 20000;

// Every sensor node of the tree, in document order; false with the reason for text that
// is not such a tree, nested deeper than kMaxTreeDepth, with more than kMaxSensors
// sensors or with two sensors of the same id. `giveUp`, asked now and then while the
// text is read, ends the reading early (false, `why` left empty) when it answers true.
bool readSensorTree(const std::string& json, std::vector<WebSensor>& sensors, std::string& why,
                    const std::function<bool()>& giveUp = {});

}  // namespace qrvl::web
