#include "web/SensorChoice.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "web/WebMapping.h"

namespace qrvl::web {

namespace {
using record::Channel;

// The automatic choice, in order of preference: the first rule with a sensor of that
// hardware, quantity and name (any case), and within a rule the earlier name. The names
// are those LibreHardwareMonitor gives on common CPUs and mainboard chips (Nuvoton, ITE,
// Fintek, Winbond); standby rails, GPUs and disks are never named.
struct Rule {
  Channel channel;
  Hardware hardware;
  std::vector<const char*> names;
};

const std::vector<Rule>& rules() {
  static const std::vector<Rule> kRules = {
      {record::CpuTemp, Hardware::Cpu, {"CPU Package", "Core (Tctl/Tdie)", "Core (Tdie)", "Core (Tctl)", "Package"}},
      {record::CpuTemp, Hardware::Board, {"CPU", "CPU Core"}},
      {record::PwrTemp, Hardware::Board, {"VRM MOS", "VRM", "MOS", "CPU VRM"}},
      {record::SysTemp, Hardware::Board, {"System", "System #1", "Motherboard", "Mainboard"}},
      {record::Vcore, Hardware::Board, {"Vcore", "CPU Vcore", "CPU Core"}},
      {record::Vcore, Hardware::Cpu, {"CPU Core", "Core (SVI2 TFN)", "Core"}},
      {record::Vtt, Hardware::Board, {"VTT", "CPU VTT", "CPU Termination"}},
      {record::Vio, Hardware::Board, {"+3.3V", "3VCC", "VCC3V", "+3.3 V", "3.3V"}},
      {record::Fan1, Hardware::Board, {"CPU Fan", "CPU Fan #1", "Fan #1"}},
      {record::Fan2, Hardware::Board, {"System Fan", "System Fan #1", "Chassis Fan #1", "Chassis Fan 1", "Chassis Fan", "Fan #2"}},
      {record::Fan3, Hardware::Board, {"Auxiliary Fan", "System Fan #2", "Chassis Fan #2", "Chassis Fan 2", "Fan #3"}},
  };
  return kRules;
}

bool sameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The best sensor of a channel so far: its place in the order of preference and index.
struct Best {
  int rank = INT_MAX;
  int index = -1;
};
}  // namespace

SensorChoice::SensorChoice(const std::string (&pins)[record::kChannelCount]) {
  for (int c = 0; c < record::kChannelCount; ++c) pins_[c] = pins[c];
}

std::vector<int> SensorChoice::choose(const std::vector<WebSensor>& sensors) {
  std::vector<int> chosen(record::kChannelCount, -1);
  int kept[record::kChannelCount];
  Best withValue[record::kChannelCount];
  Best withoutValue[record::kChannelCount];
  for (int& k : kept) k = -1;
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    const WebSensor& s = sensors[i];
    const int index = static_cast<int>(i);
    for (int c = 0; c < record::kChannelCount; ++c) {
      if (chosen[c] < 0 && !pins_[c].empty() && s.id == pins_[c]) chosen[c] = index;
      if (kept[c] < 0 && !kept_[c].empty() && s.id == kept_[c]) kept[c] = index;
    }
    const Hardware hardware = hardwareOf(s);
    if (hardware == Hardware::Other) continue;
    // Worked out only for a sensor a rule names, and once.
    bool measured = false;
    Quantity quantity = Quantity::Other;
    int rank = 0;
    for (const Rule& rule : rules()) {
      for (const char* name : rule.names) {
        ++rank;
        if (rule.hardware != hardware || !pins_[rule.channel].empty() || !sameText(s.name, name)) continue;
        if (!measured) {
          quantity = quantityOf(s);
          measured = true;
        }
        if (quantity != quantityOf(rule.channel)) continue;
        Best& best = valueFor(s, rule.channel) ? withValue[rule.channel] : withoutValue[rule.channel];
        if (rank < best.rank) best = {rank, index};
      }
    }
  }
  for (int c = 0; c < record::kChannelCount; ++c) {
    if (!pins_[c].empty()) continue;
    if (kept[c] >= 0) {
      chosen[c] = kept[c];
    } else if (withValue[c].index >= 0) {
      chosen[c] = withValue[c].index;
      kept_[c] = sensors[static_cast<std::size_t>(chosen[c])].id;
    } else {
      chosen[c] = withoutValue[c].index;
      kept_[c].clear();
    }
  }
  return chosen;
}

}  // namespace qrvl::web
