#pragma once

#include <memory>
#include <string>

#include "SensorSource.h"

namespace qrvld {

// The source for a --source value: "sim", "hwmon", or "auto" (the first hardware source
// available, else the simulated chip). Null with a reason when it cannot be had.
std::unique_ptr<SensorSource> makeSource(const std::string& name, std::string& error);

bool isSourceName(const std::string& name);

}  // namespace qrvld
