#include "qrvl/Channels.h"

namespace qrvl {

namespace {
std::string cased(const char* name, bool upper) {
  std::string text = name;
  for (char& c : text) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool isTemperature(int channel) { return kChannels[channel].quantity == Quantity::Temperature; }
}  // namespace

std::string channelKey(int channel) { return cased(kChannels[channel].name, false); }

std::string titleKey(int channel) {
  return std::string("String") + (isTemperature(channel) ? "T" : "") + cased(kChannels[channel].name, true);
}

std::string scaleKey(int channel, bool max) {
  return kChannels[channel].name + std::string(isTemperature(channel) ? "Temp" : "") + (max ? "Max" : "Min");
}

std::string alarmKey(int channel, bool high) {
  return kChannels[channel].name + std::string(isTemperature(channel) ? "Temp" : "") +
         (high ? "AlarmHigh" : "AlarmLow");
}

}  // namespace qrvl
