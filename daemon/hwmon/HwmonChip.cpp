#include "hwmon/HwmonChip.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "base/UniqueFd.h"

namespace qrvld {

namespace {
// The first line of a small text attribute, without its newline; false when it is empty,
// unreadable or not a regular file. Opened without waiting, so that a FIFO in its place
// cannot stall a scan.
bool readLine(const std::string& path, std::string& text) {
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) return false;
  char buffer[256];
  ssize_t n = -1;
  struct stat status {};
  if (fstat(fd.get(), &status) == 0 && S_ISREG(status.st_mode)) {
    do {
      n = read(fd.get(), buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
  }
  if (n <= 0) return false;
  text.assign(buffer, static_cast<std::size_t>(std::find(buffer, buffer + n, '\n') - buffer));
  return true;
}

std::vector<HwmonChip::Entry> entriesOf(const std::string& directory, int& error) {
  std::vector<HwmonChip::Entry> entries;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) {
    error = errno;
    return entries;
  }
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] != '.') entries.push_back({entry->d_name, entry->d_ino});
  }
  error = 0;
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Every sensor with a value among `files`, in order of kind and number (the map's order).
std::vector<HwmonChip::Sensor> sensorsOf(const std::string& path, const std::vector<HwmonChip::Entry>& files) {
  std::map<std::pair<SensorKind, int>, std::set<std::string>> suffixes;  // by kind and number
  for (const auto& [file, inode] : files) {
    SensorKind kind;
    int index = 0;
    std::string suffix;
    if (parseAttribute(file, kind, index, suffix) && !suffix.empty()) suffixes[{kind, index}].insert(suffix);
  }
  std::vector<HwmonChip::Sensor> sensors;
  for (const auto& [sensor, has] : suffixes) {
    const SensorKindInfo& info = sensorKindInfo(sensor.first);
    const std::string base = info.prefix + std::to_string(sensor.second) + "_";
    HwmonChip::Sensor m{sensor.first, sensor.second, {}, {}, {}, {}};
    for (const char* value : info.values) {
      if (value != nullptr && m.value.empty() && has.count(value) != 0) m.value = base + value;
    }
    // A sensor with limits or a label and nothing to read is left out, as it has no reading.
    if (m.value.empty()) continue;
    for (int l = 0; l < kMaxLimits; ++l) {
      if (info.limits[l] != nullptr && has.count(info.limits[l]) != 0) m.limits[l] = base + info.limits[l];
    }
    std::string fault;
    if (readLine(path + "/" + base + "fault", fault)) m.fault = base + "fault";
    readLine(path + "/" + base + "label", m.label);
    sensors.push_back(std::move(m));
  }
  return sensors;
}
}  // namespace

std::vector<HwmonChip> HwmonChip::scan(const std::string& root, std::string& error) {
  int failure = 0;
  std::vector<HwmonChip> chips;
  for (const Entry& entry : entriesOf(root, failure)) {
    HwmonChip chip;
    chip.entry = entry.first;
    chip.inode = entry.second;
    chip.path = root + "/" + chip.entry;
    // An entry without a name is no chip, or one going away while we look.
    if (!readLine(chip.path + "/name", chip.name) || chip.name.empty()) continue;
    char resolved[PATH_MAX];
    if (realpath((chip.path + "/device").c_str(), resolved) != nullptr) chip.device = resolved;
    int unreadable = 0;
    const std::vector<Entry> files = entriesOf(chip.path, unreadable);
    chip.sensors = sensorsOf(chip.path, files);
    chips.push_back(std::move(chip));
  }
  error = failure != 0 ? "cannot read " + root + ": " + std::strerror(failure) : std::string();
  std::sort(chips.begin(), chips.end(), [](const HwmonChip& a, const HwmonChip& b) {
    return std::tie(a.name, a.device, a.entry) < std::tie(b.name, b.device, b.entry);
  });
  return chips;
}

std::vector<HwmonChip::Entry> HwmonChip::entries(const std::string& root) {
  int ignored = 0;
  return entriesOf(root, ignored);
}

bool HwmonChip::sameIdentity(const HwmonChip& other) const { return name == other.name && device == other.device; }

const HwmonChip::Sensor* HwmonChip::find(SensorKind kind, int index) const {
  for (const Sensor& s : sensors) {
    if (s.kind == kind && s.index == index && s.feedsChannels()) return &s;
  }
  return nullptr;
}

}  // namespace qrvld
