#include "HwmonChip.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <tuple>

namespace qrvld {

namespace {
// The first line of a small text attribute, without its newline; false when unreadable.
bool readLine(const std::string& path, std::string& text) {
  std::ifstream in(path);
  return static_cast<bool>(std::getline(in, text));
}

std::vector<std::string> entriesOf(const std::string& directory, int& error) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) {
    error = errno;
    return names;
  }
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
  }
  error = 0;
  return names;
}

std::vector<HwmonChip::Sensor> sensorsOf(const std::string& path) {
  int error = 0;
  std::vector<HwmonChip::Sensor> sensors;
  const std::string suffix = "_input";
  for (const std::string& file : entriesOf(path, error)) {
    SensorKind kind;
    int index = 0;
    if (file.size() <= suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0 ||
        !parseSensorName(file, kind, index)) {
      continue;
    }
    const std::string base = path + "/" + sensorName(kind, index);
    HwmonChip::Sensor sensor{kind, index, {}, false};
    readLine(base + "_label", sensor.label);
    std::string fault;
    sensor.hasFault = readLine(base + "_fault", fault);
    sensors.push_back(sensor);
  }
  std::sort(sensors.begin(), sensors.end(), [](const HwmonChip::Sensor& a, const HwmonChip::Sensor& b) {
    return std::tie(a.kind, a.index) < std::tie(b.kind, b.index);
  });
  return sensors;
}
}  // namespace

std::vector<HwmonChip> HwmonChip::scan(const std::string& root, std::string& error) {
  int failure = 0;
  std::vector<HwmonChip> chips;
  for (const std::string& entry : entriesOf(root, failure)) {
    HwmonChip chip;
    chip.entry = entry;
    chip.path = root + "/" + entry;
    // An entry without a name is no chip, or one going away while we look.
    if (!readLine(chip.path + "/name", chip.name) || chip.name.empty()) continue;
    char resolved[PATH_MAX];
    if (realpath((chip.path + "/device").c_str(), resolved) != nullptr) chip.device = resolved;
    chip.sensors = sensorsOf(chip.path);
    chips.push_back(std::move(chip));
  }
  error = failure != 0 ? "cannot read " + root + ": " + std::strerror(failure) : std::string();
  std::sort(chips.begin(), chips.end(), [](const HwmonChip& a, const HwmonChip& b) {
    return std::tie(a.name, a.device, a.entry) < std::tie(b.name, b.device, b.entry);
  });
  return chips;
}

const HwmonChip::Sensor* HwmonChip::find(SensorKind kind, int index) const {
  for (const Sensor& s : sensors) {
    if (s.kind == kind && s.index == index) return &s;
  }
  return nullptr;
}

}  // namespace qrvld

