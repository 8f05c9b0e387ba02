#include "SourceFactory.h"

#include "HwmonChip.h"
#include "HwmonSource.h"
#include "Log.h"
#include "SimulatedChip.h"

namespace qrvld {

namespace {
// A root without chips is accepted when hwmon is asked for by name: the chips' modules
// may load after the daemon starts, and every sample looks for them until they do.
std::unique_ptr<SensorSource> makeHwmon(const Options& options, bool needChips, std::string& error) {
  const auto chips = HwmonChip::scan(options.sysfsRoot, error);
  if (!error.empty()) return nullptr;
  if (chips.empty() && needChips) {
    error = "no hwmon chip under " + options.sysfsRoot;
    return nullptr;
  }
  log(Priority::Notice, "source: hwmon chips under %s", options.sysfsRoot.c_str());
  return std::make_unique<HwmonSource>(options.sysfsRoot, options.map);
}

std::unique_ptr<SensorSource> makeSimulated() {
  log(Priority::Notice, "source: simulated chip (synthetic values, not real sensors)");
  return std::make_unique<SimulatedChip>();
}
}  // namespace

bool isSourceName(const std::string& name) { return name == "auto" || name == "sim" || name == "hwmon"; }

std::unique_ptr<SensorSource> makeSource(const Options& options, std::string& error) {
  if (options.source == "sim") return makeSimulated();
  if (options.source == "hwmon") return makeHwmon(options, false, error);
  if (options.source == "auto") {
    std::string why;
    if (auto hardware = makeHwmon(options, true, why)) return hardware;
    log(Priority::Notice, "no hardware source (%s); using the simulated chip", why.c_str());
    return makeSimulated();
  }
  error = "unknown source \"" + options.source + "\" (expected auto, sim or hwmon)";
  return nullptr;
}

}  // namespace qrvld
