#include "HwmonSource.h"

#include <fcntl.h>

#include <cmath>
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

void HwmonSource::rescan() {
  closeChips();
  std::string error;
  chips_ = HwmonChip::scan(root_, error);
  const ChannelMap::Resolution resolution = map_.resolve(chips_);
  rescanNeeded_ = resolution.missing || chips_.empty();
  chipFds_.assign(chips_.size(), -1);
  for (int c = 0; c < kChannelCount; ++c) {
    const auto& b = resolution.bindings[c];
    if (!b) continue;
    if (b->automatic) map_.pin(static_cast<Channel>(c), chips_[b->chip], *b);
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
  if (rescanNeeded_) rescan();
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
  for (int c = 0; c < kChannelCount; ++c) {
    const auto& b = resolution.bindings[c];
    mapping += std::string(c == 0 ? "" : ", ") + ChannelMap::key(static_cast<Channel>(c)) + "=" +
               (b ? ChannelMap::describe(*b, chips_) : std::string("-"));
  }
  std::string text = mapping;
  for (const std::string& note : resolution.notes) text += "\n" + note;
  if (!error.empty()) text += "\n" + error;
  if (chips_.empty() && error.empty()) text += "\nno chip under " + root_;
  if (text == lastReport_) return;
  lastReport_ = text;
  log(Priority::Info, "hwmon mapping: %s", mapping.c_str());
  for (const std::string& note : resolution.notes) log(Priority::Warning, "hwmon: %s", note.c_str());
  if (resolution.missing) log(Priority::Warning, "hwmon: looking for what is missing at every sample");
  if (!error.empty()) log(Priority::Warning, "hwmon: %s", error.c_str());
  if (chips_.empty() && error.empty()) {
    log(Priority::Warning, "hwmon: no hwmon chip under %s yet; looking at every sample", root_.c_str());
  }
}

}  // namespace qrvld
