#include "source/SourceFactory.h"

#include "base/Log.h"
#include "hwmon/HwmonChip.h"
#include "source/HwmonSource.h"
#include "source/SimulatedChip.h"

namespace qrvld {

bool isSourceName(const std::string& name) { return name == "hwmon" || name == "sim"; }

std::unique_ptr<SensorSource> makeSource(const std::string& name, const std::string& sysfsRoot, const ChannelMap& map,
                                         std::string& error) {
  if (name == "sim") {
    log(Priority::Notice, "source: simulated chip (synthetic values, not real sensors)");
    return std::make_unique<SimulatedChip>();
  }
  if (name != "hwmon") {
    error = "unknown source \"" + name + "\" (expected hwmon or sim)";
    return nullptr;
  }
  // A root without chips is accepted: the chips' modules may load after the daemon starts.
  // One it cannot read at all is more likely a wrong --sysfs-root.
  HwmonChip::scan(sysfsRoot, error);
  if (!error.empty()) return nullptr;
  log(Priority::Notice, "source: hwmon chips under %s", sysfsRoot.c_str());
  return std::make_unique<HwmonSource>(sysfsRoot, map);
}

}  // namespace qrvld
