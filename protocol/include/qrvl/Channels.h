#pragma once
// What each channel of the reading record is: the one table every program takes its
// channel names, units, decimals, charts and profile keys from.

#include <string>

#include "qrvl/Record.h"

namespace qrvl {

enum class Quantity { Temperature, Voltage, Fan };

// What a quantity is written in.
struct QuantityFacts {
  const char* unit;       // UTF-8: "°C", "V", "RPM"
  const char* unitAscii;  // for terminals of any code page: "C", "V", "RPM"
  // The metrics family of its channels and the family's help text.
  const char* metricsFamily;
  const char* metricsHelp;
};

struct ChannelFacts {
  record::Channel channel;
  // Short display name: the chart's default title, the log's column, and, in lower case,
  // the channel's key in addresses, thresholds and the daemon's mapping.
  const char* name;
  Quantity quantity;
  int decimals;  // digits after the point in the record's text
  // The monitor's chart of the channel (-1 for none), its readout's decimals and its default
  // scale as the profile keeps it: degrees, or tenths of a volt.
  int chart;
  int chartDecimals;
  int scaleMax;
  int scaleMin;
};

inline constexpr ChannelFacts kChannels[record::kChannelCount] = {
    {record::CpuTemp, "CPU", Quantity::Temperature, 1, 0, 1, 60, 20},
    {record::PwrTemp, "PWR", Quantity::Temperature, 1, 1, 1, 60, 20},
    {record::SysTemp, "SYS", Quantity::Temperature, 1, 2, 1, 60, 20},
    {record::Vcore, "Vcore", Quantity::Voltage, 3, 3, 2, 30, 20},
    {record::Vtt, "VTT", Quantity::Voltage, 3, 4, 2, 30, 20},
    {record::Vio, "Vio", Quantity::Voltage, 3, 5, 2, 40, 30},
    {record::Fan1, "Fan1", Quantity::Fan, 0, -1, 0, 0, 0},
    {record::Fan2, "Fan2", Quantity::Fan, 0, -1, 0, 0, 0},
    {record::Fan3, "Fan3", Quantity::Fan, 0, -1, 0, 0, 0},
};

static_assert(
    [] {
      for (int c = 0; c < record::kChannelCount; ++c) {
        if (kChannels[c].channel != c) return false;
        // Chart i shows text field i.
        if (kChannels[c].chart >= 0 && kChannels[c].chart != c) return false;
      }
      return true;
    }(),
    "the table lists the record's channels in order, charts first");

// The monitor draws a chart for each channel that has one; they come first in the record.
inline constexpr int kChartCount = [] {
  int n = 0;
  for (const ChannelFacts& c : kChannels) n += c.chart >= 0;
  return n;
}();

inline constexpr QuantityFacts kQuantities[] = {
    {"\xC2\xB0"
     "C",
     "C", "qrvl_channel_temp_celsius", "Temperature channels as the UDP answers carry them."},
    {"V", "V", "qrvl_channel_in_volts", "Voltage channels as the UDP answers carry them."},
    {"RPM", "RPM", "qrvl_channel_fan_rpm", "Fan channels as the UDP answers carry them."},
};

constexpr const ChannelFacts& channelFacts(int channel) { return kChannels[channel]; }
constexpr const QuantityFacts& quantityFacts(Quantity q) { return kQuantities[static_cast<int>(q)]; }
constexpr const QuantityFacts& quantityFacts(int channel) { return quantityFacts(kChannels[channel].quantity); }

// The channel's name in lower case: "cpu", "vcore", "fan1".
std::string channelKey(int channel);

// The monitor profile's keys of a chart's channel: "StringTCPU", "CPUTempMax",
// "VcoreAlarmLow"; temperatures carry a T or Temp, titles are upper case.
std::string titleKey(int channel);
std::string scaleKey(int channel, bool max);
std::string alarmKey(int channel, bool high);

}  // namespace qrvl
