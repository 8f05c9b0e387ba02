#pragma once

#include <memory>
#include <string>

#include "Options.h"
#include "SensorSource.h"

namespace qrvld {

// The source options.source names: "sim", "hwmon", or "auto" (the hwmon chips when the
// sysfs root holds any, else the simulated chip). Null with a reason when it cannot be had.
std::unique_ptr<SensorSource> makeSource(const Options& options, std::string& error);

bool isSourceName(const std::string& name);

}  // namespace qrvld
