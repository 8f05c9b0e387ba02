#pragma once

#include <array>
#include <vector>

#include "hwmon/HwmonChip.h"
#include "mapping/ChannelMap.h"

namespace qrvld {

// The mapping in effect: what `map` configures, then the automatic mapping for the channels
// it leaves to the rules, which never takes an attribute that already feeds a channel. It
// goes by chip names and labels only, never by values, so it is the same at every start on
// the same machine:
//   CPU    coretemp "Package id 0"; k10temp "Tdie", then "Tctl"; a label "CPU",
//          "CPU Temp" or "CPUTIN" on any chip; cpu_thermal temp1
//   PWR    a label "VRM", "VRM Temp", "MOS" or "MOSFET" on any chip
//   SYS    a label "SYSTIN", "Motherboard", "System" or "SYS Temp"; a Super-I/O temp1
//   Vcore  a label "Vcore", "CPU Core" or "CPUVCORE"; a Super-I/O in0
//   VTT    a label "VTT" or "CPU VTT"
//   Vio    a label "Vio", "+3.3V", "3VCC", "VCC3" or "VCC"; in3 (3VCC) of a Nuvoton chip
//   Fan1-3 fan1-3 of the first Super-I/O chip with fans, else of the first chip with fans
// Labels compare without regard to case. Super-I/O chips are those named nct6*, it8*,
// w83*, f71* and f81*. Where several chips fit a rule, the first in the order of their
// identities (name, then device path) is taken.
ChannelMap::Resolution mapChannels(const ChannelMap& map, const std::vector<HwmonChip>& chips);

}  // namespace qrvld
