#pragma once

#include <memory>
#include <string>

#include "Options.h"
#include "SensorSource.h"

namespace qrvld {

// The source options.source names: "hwmon" (the kernel's chips, looked for at every sample
// while there are none) or "sim" (the simulated chip, only ever when asked for). Null with a
// reason when it cannot be had.
std::unique_ptr<SensorSource> makeSource(const Options& options, std::string& error);

bool isSourceName(const std::string& name);

}  // namespace qrvld
