#include "mapping/ChipList.h"

#include <fcntl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "hwmon/ChipWorker.h"
#include "hwmon/HwmonChip.h"
#include "hwmon/SensorReader.h"
#include "mapping/AutoMapping.h"
#include "qrvl/Channels.h"

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

// Readings are keyed by the sensor's place in its chip, and a channel's by -1 - channel:
// the mapping reads its sensors again with their multiplier and offset. A sensor's limits
// come after every sensor.
int channelKey(int channel) { return -1 - channel; }
int limitKey(const HwmonChip& chip, std::size_t sensor, int limit) {
  return static_cast<int>(chip.sensors.size() + sensor * kMaxLimits) + limit;
}

struct ChipAnswer {
  bool answered = false;
  std::vector<ChipWorker::Reading> readings;

  std::string describe(SensorKind kind, int key) const {
    if (!answered) return "no answer";
    const auto r = std::find_if(readings.begin(), readings.end(), [key](const auto& r) { return r.key == key; });
    return SensorReader::describe(kind, r->result);
  }

  // "(max 80.0 C, crit 100.0 C)" for the limits that could be read, or nothing.
  std::string limits(const HwmonChip& chip, std::size_t sensor) const {
    if (!answered) return "";
    std::string text;
    for (int l = 0; l < kMaxLimits; ++l) {
      const int key = limitKey(chip, sensor, l);
      const auto r = std::find_if(readings.begin(), readings.end(), [key](const auto& r) { return r.key == key; });
      if (r == readings.end() || r->result.outcome != SensorReader::Outcome::Value) continue;
      const SensorKindInfo& kind = sensorKindInfo(chip.sensors[sensor].kind);
      const SensorReader::Result scaled{SensorReader::Outcome::Value, r->result.value / kind.divisor, 0};
      text += std::string(text.empty() ? "(" : ", ") + kind.limits[l] + " " +
              SensorReader::describe(chip.sensors[sensor].kind, scaled);
    }
    return text.empty() ? "" : text + ")";
  }
};

// Reads every chip on a worker of its own, all at the same time, and waits for them together.
std::vector<ChipAnswer> readChips(const std::vector<HwmonChip>& chips, const ChannelMap::Resolution& resolution,
                                  const ReadFunction& read, std::chrono::milliseconds patience) {
  std::vector<std::unique_ptr<ChipWorker>> workers;
  for (std::size_t c = 0; c < chips.size(); ++c) {
    const HwmonChip& chip = chips[c];
    std::vector<ChipWorker::Feed> feeds;
    for (std::size_t s = 0; s < chip.sensors.size(); ++s) {
      const HwmonChip::Sensor& sensor = chip.sensors[s];
      if (!sensor.feedsChannels()) continue;
      feeds.push_back(
          {static_cast<int>(s), SensorReader(read, sensor.kind, sensor.index, !sensor.fault.empty()), 1.0, 0.0});
      for (int l = 0; l < kMaxLimits; ++l) {
        if (sensor.limits[l].empty()) continue;
        feeds.push_back({limitKey(chip, s, l), SensorReader(read, sensor.limits[l], ""), 1.0, 0.0});
      }
    }
    for (int channel = 0; channel < kChannelCount; ++channel) {
      const auto& b = resolution.bindings[channel];
      if (!b || b->chip != c) continue;
      const HwmonChip::Sensor& sensor = *chip.find(b->kind, b->index);
      feeds.push_back({channelKey(channel), SensorReader(read, sensor.kind, sensor.index, !sensor.fault.empty()),
                       b->multiplier, b->offset});
    }
    workers.push_back(std::make_unique<ChipWorker>());
    workers.back()->assign(UniqueFd(open(chip.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), std::move(feeds));
    workers.back()->request();
  }
  const auto deadline = std::chrono::steady_clock::now() + patience;
  std::vector<ChipAnswer> answers(chips.size());
  for (std::size_t c = 0; c < chips.size(); ++c) {
    answers[c].answered = workers[c]->collect(deadline, answers[c].readings);
  }
  return answers;
}
}  // namespace

bool listChips(const std::string& root, const ChannelMap& map, const ReadFunction& read,
               std::chrono::milliseconds patience, std::string& text, std::string& error) {
  const std::vector<HwmonChip> chips = HwmonChip::scan(root, error);
  if (!error.empty()) return false;
  if (chips.empty()) {
    error = "no hwmon chip under " + root +
            " (chips elsewhere: --sysfs-root DIR; made-up readings to try things out: --source sim)";
    return false;
  }
  const ChannelMap::Resolution resolution = mapChannels(map, chips);
  const std::vector<ChipAnswer> answers = readChips(chips, resolution, read, patience);
  text = "hwmon chips under " + root + "\n";
  for (std::size_t c = 0; c < chips.size(); ++c) {
    const HwmonChip& chip = chips[c];
    text += "\n" + chip.name + " at " + (chip.device.empty() ? std::string("(no device link)") : chip.device) + " (" +
            chip.entry + ")\n";
    for (std::size_t i = 0; i < chip.sensors.size(); ++i) {
      const HwmonChip::Sensor& s = chip.sensors[i];
      if (!s.feedsChannels()) continue;
      std::string feeds;
      for (int channel = 0; channel < kChannelCount; ++channel) {
        const auto& b = resolution.bindings[channel];
        if (b && b->chip == c && b->kind == s.kind && b->index == s.index) {
          feeds += std::string(feeds.empty() ? "-> " : ", ") + qrvl::channelFacts(channel).name;
        }
      }
      text += withoutTrailingBlanks("  " + padded(sensorName(s.kind, s.index), 6) + padded(s.label, 24) +
                                    padded(answers[c].describe(s.kind, static_cast<int>(i)), 28) +
                                    padded(feeds, 9) + answers[c].limits(chip, i));
    }
  }
  text += "\n; the mapping in effect, as a section for the configuration file\n[map]\n";
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const auto& b = resolution.bindings[channel];
    std::string line = padded(std::string(ChannelMap::key(static_cast<Channel>(channel))), 5) + "= ";
    if (!b) {
      text += line + "none\n";
      continue;
    }
    text += padded(line + ChannelMap::describe(*b, chips), 32) + "; " + (b->automatic ? "automatic" : "configured") +
            ": " + answers[b->chip].describe(b->kind, channelKey(channel)) + "\n";
  }
  for (const std::string& note : resolution.notes) text += "; " + note + "\n";
  return true;
}

}  // namespace qrvld
