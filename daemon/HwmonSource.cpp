#include "HwmonSource.h"

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "Log.h"

namespace qrvld {

using qrvl::record::Channel;
using qrvl::record::kChannelCount;

HwmonSource::HwmonSource(std::string root, const ChannelMap& map, ReadFunction read)
    : root_(std::move(root)), map_(map), read_(std::move(read)) {}

HwmonSource::~HwmonSource() { closeChips(); }

void HwmonSource::closeChips() {
  for (auto& feed : feeds_) feed.reset();
  for (int fd : chipFds_) {
    if (fd >= 0) close(fd);
  }
  chipFds_.clear();
}

void HwmonSource::merge(std::vector<HwmonChip> found) {
  present_.assign(chips_.size(), false);
  for (HwmonChip& chip : found) {
    std::size_t known = 0;
    while (known < chips_.size() && (present_[known] || !chips_[known].sameIdentity(chip))) ++known;
    if (known == chips_.size()) {
      const auto at = std::upper_bound(chips_.begin(), chips_.end(), chip, [](const HwmonChip& a, const HwmonChip& b) {
        return std::tie(a.name, a.device) < std::tie(b.name, b.device);
      });
      known = static_cast<std::size_t>(at - chips_.begin());
      chips_.insert(at, std::move(chip));
      present_.insert(present_.begin() + static_cast<std::ptrdiff_t>(known), true);
    } else {
      chips_[known] = std::move(chip);
      present_[known] = true;
    }
  }
}

void HwmonSource::rescan() {
  closeChips();
  std::string error;
  std::vector<HwmonChip> found = HwmonChip::scan(root_, error);
  entries_.clear();
  for (const HwmonChip& chip : found) entries_.emplace_back(chip.entry, chip.inode);
  std::sort(entries_.begin(), entries_.end());
  merge(std::move(found));
  const ChannelMap::Resolution resolution = map_.resolve(chips_);
  rescanNeeded_ = resolution.missing;
  chipFds_.assign(chips_.size(), -1);
  for (int c = 0; c < kChannelCount; ++c) {
    const auto& b = resolution.bindings[c];
    if (!b || !present_[b->chip]) continue;
    int& fd = chipFds_[b->chip];
    // The directory, not its path, is what the files are opened in from now on: a chip
    // that comes back under the same hwmonN is a new directory, found by a new scan.
    if (fd < 0) fd = open(chips_[b->chip].path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      rescanNeeded_ = true;
      continue;
    }
    const HwmonChip::Sensor& sensor = *chips_[b->chip].find(b->kind, b->index);
    feeds_[c].emplace(Feed{*b, SensorReader(read_, sensor.kind, sensor.index, sensor.hasFault)});
  }
  report(resolution, error);
}

bool HwmonSource::readAll(qrvl::record::Reading& out, bool& any) {
  bool gone = false;
  any = false;
  for (int c = 0; c < kChannelCount; ++c) {
    out.value[c] = NAN;
    if (!feeds_[c]) continue;
    Feed& feed = *feeds_[c];
    const auto result = feed.reader.read(chipFds_[feed.binding.chip], feed.binding.multiplier, feed.binding.offset);
    if (result.outcome == SensorReader::Outcome::Value) {
      out.value[c] = result.value;
      any = true;
    }
    gone = gone || result.outcome == SensorReader::Outcome::Gone;
  }
  return !gone;
}

bool HwmonSource::sample(qrvl::record::Reading& out) {
  // One directory read per sample notices a chip that came, went or took over another's
  // hwmonN. An entry that is no chip (yet) differs from every scan, so it is scanned for
  // at every sample until it has a name.
  if (rescanNeeded_ || HwmonChip::entries(root_) != entries_) rescan();
  bool any = false;
  // A chip found gone is looked for at once, so a reloaded module costs one sample at most.
  if (!readAll(out, any)) {
    rescan();
    readAll(out, any);
  }
  return any;
}

// One line for the mapping and one per problem, logged when they change, so a chip that
// stays missing is reported once rather than at every sample.
void HwmonSource::report(const ChannelMap::Resolution& resolution, const std::string& error) {
  std::string mapping;
  std::vector<std::string> problems = resolution.notes;
  std::vector<bool> waitedFor(chips_.size(), false);
  bool feeding = false;
  for (int c = 0; c < kChannelCount; ++c) {
    const auto& b = resolution.bindings[c];
    mapping += std::string(c == 0 ? "" : ", ") + ChannelMap::key(static_cast<Channel>(c)) + "=" +
               (b ? ChannelMap::describe(*b, chips_) : std::string("-"));
    feeding = feeding || feeds_[c].has_value();
    if (b && !present_[b->chip] && !waitedFor[b->chip]) {
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
