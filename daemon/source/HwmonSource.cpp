#include "source/HwmonSource.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <utility>

#include "base/Log.h"
#include "mapping/AutoMapping.h"

namespace qrvld {

using qrvl::record::Channel;
using qrvl::record::kChannelCount;

namespace {
// Limits change only when someone sets them, and some drivers ask the device at every
// read (nvme sends the drive a command), so they are read once a minute.
constexpr std::chrono::seconds kLimitsPeriod{60};
}  // namespace

HwmonSource::HwmonSource(std::string root, const ChannelMap& map, ReadFunction read)
    : root_(std::move(root)), map_(map), read_(std::move(read)) {}

void HwmonSource::merge(std::vector<HwmonChip> found) {
  for (Chip& state : states_) state.present = false;
  for (HwmonChip& chip : found) {
    std::size_t known = 0;
    while (known < chips_.size() && (states_[known].present || !chips_[known].sameIdentity(chip))) ++known;
    if (known == chips_.size()) {
      const auto at = std::upper_bound(chips_.begin(), chips_.end(), chip, [](const HwmonChip& a, const HwmonChip& b) {
        return std::tie(a.name, a.device) < std::tie(b.name, b.device);
      });
      known = static_cast<std::size_t>(at - chips_.begin());
      chips_.insert(at, std::move(chip));
      states_.emplace(states_.begin() + static_cast<std::ptrdiff_t>(known));
    } else {
      chips_[known] = std::move(chip);
    }
    states_[known].present = true;
  }
}

void HwmonSource::rescan() {
  std::string error;
  std::vector<HwmonChip> found = HwmonChip::scan(root_, error);
  entries_.clear();
  for (const HwmonChip& chip : found) entries_.emplace_back(chip.entry, chip.inode);
  std::sort(entries_.begin(), entries_.end());
  merge(std::move(found));
  const ChannelMap::Resolution resolution = mapChannels(map_, chips_);
  rescanNeeded_ = resolution.missing;
  std::vector<std::vector<ChipWorker::Feed>> feeds(chips_.size());
  std::vector<std::vector<Target>> targets(chips_.size());
  for (int c = 0; c < kChannelCount; ++c) {
    const auto& b = resolution.bindings[c];
    if (!b || !states_[b->chip].present) continue;
    const HwmonChip::Sensor& sensor = *chips_[b->chip].find(b->kind, b->index);
    feeds[b->chip].push_back({static_cast<int>(targets[b->chip].size()),
                              SensorReader(read_, sensor.kind, sensor.index, !sensor.fault.empty()), b->multiplier,
                              b->offset});
    targets[b->chip].push_back({c, 0, 0});
  }
  std::vector<bool> feeding(chips_.size());
  for (std::size_t i = 0; i < chips_.size(); ++i) feeding[i] = !feeds[i].empty();

  std::vector<std::vector<ChipWorker::Feed>> limitFeeds(chips_.size());
  std::vector<std::vector<Target>> limitTargets(chips_.size());
  std::array<double, kMaxLimits> noLimits;
  noLimits.fill(NAN);
  metrics_ = SensorSnapshot();
  for (std::size_t i = 0; i < chips_.size(); ++i) {
    if (!everySensor_ || !states_[i].present) continue;
    const HwmonChip& chip = chips_[i];
    metrics_.chips.push_back({chip.name, chip.device, chip.entry});
    for (const HwmonChip::Sensor& sensor : chip.sensors) {
      const std::size_t at = metrics_.sensors.size();
      feeds[i].push_back(
          {static_cast<int>(targets[i].size()), SensorReader(read_, sensor.value, sensor.fault), 1.0, 0.0});
      targets[i].push_back({-1, at, 0});
      for (int l = 0; l < kMaxLimits; ++l) {
        if (sensor.limits[l].empty()) continue;
        limitFeeds[i].push_back(
            {static_cast<int>(limitTargets[i].size()), SensorReader(read_, sensor.limits[l], ""), 1.0, 0.0});
        limitTargets[i].push_back({-1, at, l});
      }
      metrics_.sensors.push_back({metrics_.chips.size() - 1, sensor.kind, sensor.index, sensor.label, NAN, noLimits});
    }
  }

  for (std::size_t i = 0; i < chips_.size(); ++i) {
    Chip& state = states_[i];
    UniqueFd directory;
    UniqueFd limitsDirectory;
    if (!feeds[i].empty()) {
      // The directory, not its path, is what the files are opened in from now on: a chip
      // that comes back under the same hwmonN is a new directory, found by a new scan.
      directory.reset(open(chips_[i].path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (!directory) {
        rescanNeeded_ = true;
        feeds[i].clear();
        limitFeeds[i].clear();
      } else if (!limitFeeds[i].empty()) {
        limitsDirectory.reset(fcntl(directory.get(), F_DUPFD_CLOEXEC, 0));
      }
    }
    state.feeding = feeding[i] && !feeds[i].empty();
    state.reading = !feeds[i].empty();
    state.targets = std::move(targets[i]);
    state.limitTargets = std::move(limitTargets[i]);
    // A worker is never replaced: one held by a driver takes its new files when it is free.
    if (state.worker || state.reading) {
      if (!state.worker) state.worker = std::make_unique<ChipWorker>();
      state.worker->assign(std::move(directory), std::move(feeds[i]));
    }
    if (!limitsDirectory) limitFeeds[i].clear();
    if (state.limits || !limitFeeds[i].empty()) {
      if (!state.limits) state.limits = std::make_unique<ChipWorker>();
      state.limits->assign(std::move(limitsDirectory), std::move(limitFeeds[i]));
    }
  }
  limitsDue_ = {};
  report(resolution, error);
}

void HwmonSource::readEverySensor() {
  everySensor_ = true;
  rescanNeeded_ = true;
}

void HwmonSource::remap(const ChannelMap& map) {
  map_ = map;
  rescanNeeded_ = true;
}

bool HwmonSource::readAll(qrvl::record::Reading& out, bool& any, std::chrono::steady_clock::time_point deadline) {
  for (double& value : out.value) value = NAN;
  for (SensorSnapshot::Sensor& sensor : metrics_.sensors) sensor.value = NAN;
  const auto now = std::chrono::steady_clock::now();
  const bool limitsDue = now >= limitsDue_;
  if (limitsDue) limitsDue_ = now + kLimitsPeriod;
  // All chips are asked first, so they are read at the same time and one wait covers them.
  std::vector<bool> asked(chips_.size(), false);
  std::vector<bool> limitsAsked(chips_.size(), false);
  for (std::size_t i = 0; i < chips_.size(); ++i) {
    if (states_[i].reading) asked[i] = states_[i].worker->request();
    if (limitsDue && states_[i].limits) limitsAsked[i] = states_[i].limits->request();
  }
  bool gone = false;
  any = false;
  std::vector<ChipWorker::Reading> readings;
  for (std::size_t i = 0; i < chips_.size(); ++i) {
    if (limitsAsked[i] && states_[i].limits->collect(deadline, readings)) takeLimits(i, readings);
    if (!states_[i].reading) continue;
    const bool answered = asked[i] && states_[i].worker->collect(deadline, readings);
    noteAnswer(i, answered);
    if (!answered) continue;
    for (const ChipWorker::Reading& r : readings) {
      const Target& target = states_[i].targets[static_cast<std::size_t>(r.key)];
      if (r.result.outcome == SensorReader::Outcome::Value) {
        if (target.channel >= 0) {
          out.value[target.channel] = r.result.value;
          any = true;
        } else {
          metrics_.sensors[target.sensor].value = r.result.value;
        }
      }
      gone = gone || r.result.outcome == SensorReader::Outcome::Gone;
    }
  }
  return !gone;
}

void HwmonSource::takeLimits(std::size_t chip, const std::vector<ChipWorker::Reading>& readings) {
  for (const ChipWorker::Reading& r : readings) {
    const Target& target = states_[chip].limitTargets[static_cast<std::size_t>(r.key)];
    metrics_.sensors[target.sensor].limits[target.limit] =
        r.result.outcome == SensorReader::Outcome::Value ? r.result.value : NAN;
  }
}

void HwmonSource::noteAnswer(std::size_t chip, bool answered) {
  Chip& state = states_[chip];
  if (answered == state.answering) return;
  state.answering = answered;
  const HwmonChip& c = chips_[chip];
  const std::string name = c.name + (c.device.empty() ? "" : " at " + c.device);
  if (answered) {
    log(Priority::Notice, "hwmon: %s answers again", name.c_str());
  } else {
    log(Priority::Warning, "hwmon: %s does not answer in time; its values are empty until it does", name.c_str());
  }
}

bool HwmonSource::sample(qrvl::record::Reading& out, std::chrono::steady_clock::time_point deadline) {
  // One directory read per sample notices a chip that came, went or took over another's
  // hwmonN. An entry that is no chip (yet) differs from every scan, so it is scanned for
  // at every sample until it has a name.
  if (rescanNeeded_ || HwmonChip::entries(root_) != entries_) rescan();
  bool any = false;
  // A chip found gone is looked for at once, so a reloaded module costs one sample at most.
  if (!readAll(out, any, deadline)) {
    rescan();
    readAll(out, any, deadline);
  }
  return any;
}

// One line for the mapping and one per problem, logged when they change, so a chip that
// stays missing is reported once rather than at every sample.
void HwmonSource::report(const ChannelMap::Resolution& resolution, const std::string& error) {
  std::string mapping;
  std::vector<std::string> problems = resolution.notes;
  std::vector<bool> waitedFor(chips_.size(), false);
  const bool feeding = std::any_of(states_.begin(), states_.end(), [](const Chip& s) { return s.feeding; });
  for (int c = 0; c < kChannelCount; ++c) {
    const auto& b = resolution.bindings[c];
    mapping += std::string(c == 0 ? "" : ", ") + ChannelMap::key(static_cast<Channel>(c)) + "=" +
               (b ? ChannelMap::describe(*b, chips_) : std::string("-"));
    if (b && !states_[b->chip].present && !waitedFor[b->chip]) {
      waitedFor[b->chip] = true;
      const HwmonChip& chip = chips_[b->chip];
      problems.push_back(chip.name + (chip.device.empty() ? "" : " at " + chip.device) +
                         " has gone; its channels are empty until it is back");
    }
  }
  if (!error.empty()) problems.push_back(error);
  if (!feeding) problems.push_back("no chip under " + root_ + " feeds a channel yet; looking again at every sample");
  std::string text = mapping;
  for (const std::string& problem : problems) text += "\n" + problem;
  if (text == lastReport_) return;
  lastReport_ = text;
  log(Priority::Info, "hwmon mapping: %s", mapping.c_str());
  for (const std::string& problem : problems) log(Priority::Warning, "hwmon: %s", problem.c_str());
  if (resolution.missing) log(Priority::Warning, "hwmon: looking for what is missing at every sample");
}

}  // namespace qrvld
