#include "SourceFactory.h"

#include "Log.h"
#include "SimulatedChip.h"

namespace qrvld {

namespace {
// Linux hwmon sensors; this build has no reader for them yet.
std::unique_ptr<SensorSource> makeHwmon(std::string& error) {
  error = "hwmon source not available in this build";
  return nullptr;
}

std::unique_ptr<SensorSource> makeSimulated() {
  log(Priority::Notice, "source: simulated chip (synthetic values, not real sensors)");
  return std::make_unique<SimulatedChip>();
}
}  // namespace

bool isSourceName(const std::string& name) { return name == "auto" || name == "sim" || name == "hwmon"; }

std::unique_ptr<SensorSource> makeSource(const std::string& name, std::string& error) {
  if (name == "sim") return makeSimulated();
  if (name == "hwmon") return makeHwmon(error);
  if (name == "auto") {
    std::string why;
    if (auto hardware = makeHwmon(why)) return hardware;
    log(Priority::Notice, "no hardware source (%s); using the simulated chip", why.c_str());
    return makeSimulated();
  }
  error = "unknown source \"" + name + "\" (expected auto, sim or hwmon)";
  return nullptr;
}

}  // namespace qrvld
