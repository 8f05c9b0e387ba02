#include "ChipList.h"

#include <fcntl.h>
#include <unistd.h>


#include "HwmonChip.h"
#include "SensorReader.h"

namespace qrvld {

using qrvl::record::Channel;
using qrvl::record::kChannelCount;

namespace {
std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text + " ";
}

std::string withoutTrailingBlanks(std::string line) {
  line.erase(line.find_last_not_of(' ') + 1);
  return line + "\n";
}
}  // namespace

bool listChips(const std::string& root, const ChannelMap& map, const ReadFunction& read, std::string& text,
               std::string& error) {
  const std::vector<HwmonChip> chips = HwmonChip::scan(root, error);
  if (!error.empty()) return false;
  if (chips.empty()) {
    error = "no hwmon chip under " + root;
    return false;
  }
  const ChannelMap::Resolution resolution = map.resolve(chips);
  text = "hwmon chips under " + root + "\n";
  for (std::size_t c = 0; c < chips.size(); ++c) {
    const HwmonChip& chip = chips[c];
    text += "\n" + chip.name + " at " + (chip.device.empty() ? std::string("(no device link)") : chip.device) + " (" +
            chip.entry + ")\n";
    const int fd = open(chip.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const HwmonChip::Sensor& s : chip.sensors) {
      SensorReader reader(read, s.kind, s.index, s.hasFault);
      std::string feeds;
      for (int channel = 0; channel < kChannelCount; ++channel) {
        const auto& b = resolution.bindings[channel];
        if (b && b->chip == c && b->kind == s.kind && b->index == s.index) {
          feeds += std::string(feeds.empty() ? "-> " : ", ") + qrvl::record::channelName(static_cast<Channel>(channel));
        }
      }
      text += withoutTrailingBlanks("  " + padded(sensorName(s.kind, s.index), 6) + padded(s.label, 24) +
                                    padded(reader.describe(reader.read(fd)), 28) + feeds);
    }
    if (fd >= 0) close(fd);
  }
  text += "\n; the mapping in effect, as a section for the configuration file\n[map]\n";
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const auto& b = resolution.bindings[channel];
    std::string line = padded(std::string(ChannelMap::key(static_cast<Channel>(channel))), 5) + "= ";
    if (!b) {
      text += line + "none\n";
      continue;
    }
    const HwmonChip& chip = chips[b->chip];
    const HwmonChip::Sensor& s = *chip.find(b->kind, b->index);
    SensorReader reader(read, s.kind, s.index, s.hasFault);
    const int fd = open(chip.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string value = reader.describe(reader.read(fd, b->multiplier, b->offset));
    if (fd >= 0) close(fd);
    text += padded(line + ChannelMap::describe(*b, chips), 32) + "; " + (b->automatic ? "automatic" : "configured") +
            ": " + value + "\n";
  }
  for (const std::string& note : resolution.notes) text += "; " + note + "\n";
  return true;
}

}  // namespace qrvld
