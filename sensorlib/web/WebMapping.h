#pragma once
// What a LibreHardwareMonitor sensor measures, on which hardware, and its value.

#include <optional>
#include <string>

#include "qrvl/Channels.h"
#include "qrvl/Record.h"
#include "web/SensorTree.h"

namespace qrvl::web {

// What a sensor measures, from its Type or, in trees without one, from its unit: a
// channel's quantity, or another.
enum class Quantity {
  Temperature = static_cast<int>(qrvl::Quantity::Temperature),
  Voltage = static_cast<int>(qrvl::Quantity::Voltage),
  Fan = static_cast<int>(qrvl::Quantity::Fan),
  Other = -1,
};
// The hardware a sensor belongs to, from the first part of its id ("/amdcpu/0/...").
enum class Hardware { Cpu, Board, Other };

Quantity quantityOf(const WebSensor& sensor);
Hardware hardwareOf(const WebSensor& sensor);
// The quantity a channel shows: temperatures, voltages, fans.
Quantity quantityOf(record::Channel c);

// The sensor's value in the channel's unit (°C, V, RPM): the raw number when there is
// one, else the raw or display text in either decimal style, °F turned into °C; none for
// a null or a text in another unit.
std::optional<double> valueFor(const WebSensor& sensor, record::Channel c);

}  // namespace qrvl::web
