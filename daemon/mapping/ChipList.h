#pragma once

#include <chrono>
#include <string>

#include "hwmon/AttributeFile.h"
#include "mapping/ChannelMap.h"

namespace qrvld {

// What --list prints: every chip under `root` with each sensor's label, value and the
// channel it feeds, then the mapping in effect as a [map] section to copy into the
// configuration. The chips are read at the same time and waited for at most `patience`;
// the sensors of a chip that has not answered by then say "no answer". False with the
// reason in `error` when there is no chip to list.
bool listChips(const std::string& root, const ChannelMap& map, const ReadFunction& read,
               std::chrono::milliseconds patience, std::string& text, std::string& error);

}  // namespace qrvld
