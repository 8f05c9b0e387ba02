// The [map] entries: what is accepted and what it means, what is refused and why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSysfs.h"
#include "hwmon/HwmonChip.h"
#include "mapping/AutoMapping.h"
#include "mapping/ChannelMap.h"

using qrvld::ChannelMap;

namespace {
struct Entry {
  std::string key;
  std::string value;
  std::string expected;  // the binding as --list writes it back, or the reason for refusal
};
}  // namespace

TEST(ChannelMap, EntriesAndTheirMeaning) {
  qrvltest::FakeSysfs xeon("xeon");
  std::string error;
  const auto chips = qrvld::HwmonChip::scan(xeon.root(), error);
  ASSERT_EQ(chips.size(), 4u) << error;

  // Each form, written back with the device only where two chips share a name, "_input"
  // dropped and the numbers at their shortest.
  const std::vector<Entry> accepted = {
      {"VCORE", "nct6776 in0_input", "nct6776 in0"},
      {"vio", "nct6776  in3*2.5+0.125", "nct6776 in3 * 2.5 + 0.125"},
      {"vio", "nct6776 in3 * -1 - 0.05", "nct6776 in3 * -1 - 0.05"},
      {"cpu", "coretemp@coretemp.1 temp1", "coretemp@coretemp.1 temp1"},
      {"cpu", "coretemp@platform/coretemp.0 temp2", "coretemp@coretemp.0 temp2"},
  };
  for (const Entry& e : accepted) {
    SCOPED_TRACE(e.key + " = " + e.value);
    ChannelMap map;
    ASSERT_TRUE(map.set(e.key, e.value, error)) << error;
    int configured = 0;
    for (const auto& binding : mapChannels(map, chips).bindings) {
      if (!binding || binding->automatic) continue;
      ++configured;
      EXPECT_EQ(ChannelMap::describe(*binding, chips), e.expected);
    }
    EXPECT_EQ(configured, 1);
  }

  // "none" empties a channel the automatic rules would fill; a device suffix must start
  // at a path separator.
  ChannelMap map;
  ASSERT_TRUE(map.set("fan1", "none", error) && map.set("cpu", "coretemp@oretemp.1 temp1", error));
  const auto resolution = mapChannels(map, chips);
  EXPECT_FALSE(resolution.bindings[qrvl::record::Fan1]);
  EXPECT_TRUE(resolution.missing);
  EXPECT_TRUE(mapChannels(ChannelMap(), chips).bindings[qrvl::record::Fan1]);

  // Refused, each with its reason.
  const std::vector<Entry> refused = {
      {"gpu", "amdgpu temp1", "unknown channel \"gpu\""},
      {"cpu", "k10temp", "expected none or CHIP[@DEVICE] ATTRIBUTE"},
      {"cpu", "k10temp temp01", "is not an attribute"},
      {"cpu", "k10temp curr1", "is not an attribute"},
      {"cpu", "nct6798 in0", "cpu takes a temperature (tempN)"},
      {"fan2", "nct6798 in1", "fan2 takes a fan (fanN)"},
      {"vio", "nct6798 in3 * two", "expected \"* MULTIPLIER\""},
      {"vio", "nct6798 in3 + 1 * 2", "expected \"* MULTIPLIER\""},
      {"vio", "nct6798 in3 * inf", "expected \"* MULTIPLIER\""},
      {"vio", "nct6798@ in3", "expected a chip name"},
  };
  for (const Entry& e : refused) {
    ChannelMap refusing;
    EXPECT_FALSE(refusing.set(e.key, e.value, error)) << e.key << " = " << e.value;
    EXPECT_NE(error.find(e.expected), std::string::npos) << e.key << " = " << e.value << ": " << error;
  }
}
