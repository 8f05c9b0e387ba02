// The attribute names of the kernel's hwmon interface as the daemon splits them, checked
// as a function: every kind, number and suffix round-trips, and what the kernel never
// writes is refused.
#include "hwmon/SensorKind.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using qrvld::kSensorKinds;
using qrvld::SensorKind;

TEST(SensorKind, SplitsEveryAttributeNameTheKernelWritesAndNothingElse) {
  // Random numbers and suffixes of every kind come back as they went in; a bare name has
  // an empty suffix, and channel names take a unit's kinds only.
  std::mt19937 random(7);
  const char* const kSuffixes[] = {"input", "average", "max", "crit_alarm", "label", "fault", "lowest"};
  for (int round = 0; round < 2000; ++round) {
    const auto& info = kSensorKinds[random() % qrvld::kSensorKindCount];
    const int number = static_cast<int>(random() % 1000);
    const std::string suffix = round % 8 == 0 ? "" : kSuffixes[random() % 7];
    const std::string name = qrvld::sensorName(info.kind, number) + (suffix.empty() ? "" : "_" + suffix);
    SensorKind kind;
    int index = -1;
    std::string parsed;
    ASSERT_TRUE(qrvld::parseAttribute(name, kind, index, parsed)) << name;
    EXPECT_EQ(kind, info.kind);
    EXPECT_EQ(index, number);
    EXPECT_EQ(parsed, suffix);
    const bool channel = (suffix.empty() || suffix == "input") && info.unit != nullptr;
    EXPECT_EQ(qrvld::parseSensorName(name, kind, index), channel) << name;
  }

  // Leading zeros, signs, a missing number or suffix, other kinds of attribute.
  for (const char* name : {"temp01_input", "temp+1_input", "temp-1_input", "temp_input", "temp", "temp1_", "in 1",
                           "pwm1", "fan1x", "humidity1_input", "intrusion0_alarm", "Temp1_input", ""}) {
    SensorKind kind;
    int index = 0;
    std::string suffix;
    EXPECT_FALSE(qrvld::parseAttribute(name, kind, index, suffix)) << name;
  }
  SensorKind kind;
  int index = 0;
  EXPECT_FALSE(qrvld::parseSensorName("power1_input", kind, index));
  EXPECT_FALSE(qrvld::parseSensorName("temp1_max", kind, index));
}
