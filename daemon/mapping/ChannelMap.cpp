#include "mapping/ChannelMap.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "qrvl/Channels.h"

namespace qrvld {

using qrvl::record::Channel;
using qrvl::record::kChannelCount;

namespace {

SensorKind kindOf(int channel) {
  switch (qrvl::channelFacts(channel).quantity) {
    case qrvl::Quantity::Temperature: return SensorKind::Temperature;
    case qrvl::Quantity::Voltage: return SensorKind::Voltage;
    case qrvl::Quantity::Fan: break;
  }
  return SensorKind::Fan;
}

const char* kindText(SensorKind kind) {
  switch (kind) {
    case SensorKind::Temperature: return "a temperature (tempN)";
    case SensorKind::Voltage: return "a voltage (inN)";
    case SensorKind::Fan: return "a fan (fanN)";
    case SensorKind::Power:
    case SensorKind::Current: break;  // no channel takes these
  }
  return "";
}

// A finite number at the start of `text`, in the C locale whatever the process locale is.
bool takeNumber(const char*& text, const char* end, double& value) {
  while (text < end && (*text == ' ' || *text == '\t')) ++text;
  const auto result = std::from_chars(text, end, value);
  if (result.ec != std::errc() || !std::isfinite(value)) return false;
  text = result.ptr;
  return true;
}

std::string numberText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

bool deviceMatches(const std::string& wanted, const std::string& device) {
  if (wanted.empty() || wanted == device) return true;
  return device.size() > wanted.size() && device.compare(device.size() - wanted.size(), wanted.size(), wanted) == 0 &&
         device[device.size() - wanted.size() - 1] == '/';
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }
}  // namespace

std::string ChannelMap::key(Channel channel) { return qrvl::channelKey(channel); }

bool ChannelMap::set(const std::string& key, const std::string& value, std::string& error) {
  int channel = 0;
  while (channel < kChannelCount && strcasecmp(key.c_str(), qrvl::channelFacts(channel).name) != 0) ++channel;
  if (channel == kChannelCount) {
    std::string expected;
    for (int c = 0; c < kChannelCount; ++c)
      expected += (c == 0 ? "" : c + 1 == kChannelCount ? " or " : ", ") + qrvl::channelKey(c);
    error = "unknown channel \"" + key + "\" in [map] (expected " + expected + ")";
    return false;
  }
  const std::string bad = "bad [map] " + qrvl::channelKey(channel) + " \"" + value + "\": ";
  Entry entry;
  if (value == "none") {
    entry.mode = Entry::Mode::None;
    entries_[channel] = entry;
    return true;
  }
  // CHIP, then ATTRIBUTE, which may have the operators that follow written against it.
  const std::size_t chipStart = value.find_first_not_of(" \t");
  const std::size_t chipEnd = value.find_first_of(" \t", chipStart);
  const std::size_t attributeStart = value.find_first_not_of(" \t", chipEnd);
  if (chipStart == std::string::npos || attributeStart == std::string::npos) {
    error = bad + "expected none or CHIP[@DEVICE] ATTRIBUTE [* MULTIPLIER] [+|- OFFSET]";
    return false;
  }
  const std::string chip = value.substr(chipStart, chipEnd - chipStart);
  const std::size_t attributeEnd = std::min(value.find_first_of(" \t*+-", attributeStart), value.size());
  const std::string attribute = value.substr(attributeStart, attributeEnd - attributeStart);
  const auto at = chip.find('@');
  entry.mode = Entry::Mode::Sensor;
  entry.chip = chip.substr(0, at);
  if (at != std::string::npos) entry.device = chip.substr(at + 1);
  if (entry.chip.empty() || (at != std::string::npos && entry.device.empty())) {
    error = bad + "expected a chip name, or NAME@DEVICE";
    return false;
  }
  if (!parseSensorName(attribute, entry.kind, entry.index)) {
    error = bad + "\"" + attribute + "\" is not an attribute such as temp1, in0 or fan2";
    return false;
  }
  if (entry.kind != kindOf(channel)) {
    error = bad + qrvl::channelKey(channel) + " takes " + kindText(kindOf(channel));
    return false;
  }
  // The rest is "* MULTIPLIER" then "+ OFFSET" or "- OFFSET", each optional.
  const std::string rest = value.substr(attributeEnd);
  const char* text = rest.c_str();
  const char* end = text + rest.size();
  bool sawMultiplier = false;
  bool sawOffset = false;
  for (;;) {
    while (text < end && (*text == ' ' || *text == '\t')) ++text;
    if (text == end) break;
    const char op = *text++;
    double number = 0;
    if (op == '*' && !sawMultiplier && !sawOffset && takeNumber(text, end, number)) {
      entry.multiplier = number;
      sawMultiplier = true;
    } else if ((op == '+' || op == '-') && !sawOffset && takeNumber(text, end, number) && number >= 0) {
      entry.offset = op == '-' ? -number : number;
      sawOffset = true;
    } else {
      error = bad + "expected \"* MULTIPLIER\" and then \"+ OFFSET\" or \"- OFFSET\" after the attribute";
      return false;
    }
  }
  entries_[channel] = entry;
  return true;
}

ChannelMap::Resolution ChannelMap::resolve(const std::vector<HwmonChip>& chips) const {
  Resolution r;
  for (int c = 0; c < kChannelCount; ++c) {
    const Entry& e = entries_[c];
    if (e.mode == Entry::Mode::Automatic) r.automatic[c] = true;
    if (e.mode != Entry::Mode::Sensor) continue;
    const std::string wanted = e.device.empty() ? e.chip : e.chip + "@" + e.device;
    std::size_t found = chips.size();
    int matches = 0;
    for (std::size_t i = 0; i < chips.size(); ++i) {
      if (chips[i].name != e.chip || !deviceMatches(e.device, chips[i].device)) continue;
      if (matches++ == 0) found = i;
    }
    if (matches == 0) {
      r.missing = true;
      r.notes.push_back(key(static_cast<Channel>(c)) + ": no chip " + wanted);
      continue;
    }
    if (matches > 1) {
      r.notes.push_back(key(static_cast<Channel>(c)) + ": " + std::to_string(matches) + " chips match " + wanted +
                        "; using the one at " + chips[found].device + " (write NAME@DEVICE to choose)");
    }
    if (chips[found].find(e.kind, e.index) == nullptr) {
      r.missing = true;
      r.notes.push_back(key(static_cast<Channel>(c)) + ": " + wanted + " has no " + sensorName(e.kind, e.index) + "_input");
      continue;
    }
    r.bindings[c] = Binding{found, e.kind, e.index, e.multiplier, e.offset, false};
  }
  return r;
}

std::string ChannelMap::describe(const Binding& b, const std::vector<HwmonChip>& chips) {
  const HwmonChip& chip = chips[b.chip];
  std::string text = chip.name;
  bool shared = false;
  bool sharedBase = false;
  for (const HwmonChip& other : chips) {
    if (&other == &chip || other.name != chip.name) continue;
    shared = true;
    sharedBase = sharedBase || baseName(other.device) == baseName(chip.device);
  }
  if (shared && !chip.device.empty()) text += "@" + (sharedBase ? chip.device : baseName(chip.device));
  text += " " + sensorName(b.kind, b.index);
  if (b.multiplier != 1.0) text += " * " + numberText(b.multiplier);
  if (b.offset > 0) text += " + " + numberText(b.offset);
  if (b.offset < 0) text += " - " + numberText(-b.offset);
  return text;
}

}  // namespace qrvld
