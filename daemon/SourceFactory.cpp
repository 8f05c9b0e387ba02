#include "SourceFactory.h"

#include "HwmonChip.h"
#include "HwmonSource.h"
#include "Log.h"
#include "SimulatedChip.h"

namespace qrvld {

bool isSourceName(const std::string& name) { return name == "hwmon" || name == "sim"; }

std::unique_ptr<SensorSource> makeSource(const Options& options, std::string& error) {
  if (options.source == "sim") {
    log(Priority::Notice, "source: simulated chip (synthetic values, not real sensors)");
    return std::make_unique<SimulatedChip>();
  }
  if (options.source != "hwmon") {
    error = "unknown source \"" + options.source + "\" (expected hwmon or sim)";
    return nullptr;
  }
  // A root without chips is accepted: the chips' modules may load after the daemon starts.
  // One it cannot read at all is more likely a wrong --sysfs-root.
  HwmonChip::scan(options.sysfsRoot, error);
  if (!error.empty()) return nullptr;
  log(Priority::Notice, "source: hwmon chips under %s", options.sysfsRoot.c_str());
  return std::make_unique<HwmonSource>(options.sysfsRoot, options.map);
}

}  // namespace qrvld
