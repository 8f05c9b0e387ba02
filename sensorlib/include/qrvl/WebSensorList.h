#pragma once
// A LibreHardwareMonitor web server's sensors and the channel each feeds, as the library
// would choose them: what a user needs to pin a channel to another sensor.

#include <string>
#include <vector>

#include "qrvl/Record.h"

namespace qrvl::web {

// A channel fed by a sensor, and whether the sensor gives it a value in its unit.
struct ChannelFeed {
  record::Channel channel;
  bool hasValue;
};

// One sensor as the server sent its texts.
struct ListedSensor {
  std::string id;                  // SensorId
  std::string type;                // empty when the server gives none
  std::string value;               // the display text, such as "45.5 °C"; empty when none
  std::vector<ChannelFeed> feeds;  // in channel order
};

struct SensorList {
  std::vector<ListedSensor> sensors;  // in the server's order
  // "?cpu=...&fan1=..." that pins today's choice in an address; empty when no sensor feeds
  // a channel.
  std::string pinQuery;
};

enum class ListResult { Listed, BadAddress, Failed };

// Reads the server at `url` ("http://...", a query's pins included) within `timeoutMs`.
// BadAddress or Failed with one line in `why`, the server's texts in it unescaped.
ListResult listSensors(const char* url, unsigned timeoutMs, SensorList& list, std::string& why);

}  // namespace qrvl::web
