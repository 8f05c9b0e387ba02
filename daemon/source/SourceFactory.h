#pragma once

#include <memory>
#include <string>

#include "mapping/ChannelMap.h"
#include "source/SensorSource.h"

namespace qrvld {

// The source `name` names: "hwmon" (the kernel's chips under `sysfsRoot` with `map`, looked
// for at every sample while there are none) or "sim" (the simulated chip, only ever when
// asked for). Null with a reason when it cannot be had.
std::unique_ptr<SensorSource> makeSource(const std::string& name, const std::string& sysfsRoot, const ChannelMap& map,
                                         std::string& error);

bool isSourceName(const std::string& name);

}  // namespace qrvld
