// The exposition as Prometheus reads it: names, labels, units, what is left out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "metrics/MetricsText.h"
#include "qrvl/Record.h"

using qrvld::SensorSnapshot;

namespace {
const auto npos = std::string::npos;
constexpr double kNone = NAN;

bool has(const std::string& text, const std::string& line) { return text.find("\n" + line + "\n") != npos; }
}  // namespace

TEST(MetricsText, ChipLabelsAreTheNodeExportersOwn) {
  // From the device path; else the name; else the hwmonN entry.
  EXPECT_EQ(qrvld::exporterChipLabel({"coretemp", "/sys/devices/platform/coretemp.0", "hwmon2"}),
            "platform_coretemp_0");
  EXPECT_EQ(qrvld::exporterChipLabel({"k10temp", "/sys/devices/pci0000:00/0000:00:18.3", "hwmon0"}),
            "pci0000:00_0000:00:18_3");
  EXPECT_EQ(qrvld::exporterChipLabel({"i2c", "/sys/devices/i2c-0/0-004C", "hwmon3"}), "i2c_0_0_004c");
  EXPECT_EQ(qrvld::exporterChipLabel({"Fan-Ctl 2", "", "hwmon5"}), "fan_ctl_2");
  EXPECT_EQ(qrvld::exporterChipLabel({"--", "", "hwmon6"}), "hwmon6");
}

TEST(MetricsText, SampleInBaseUnitsWithAbsentValuesLeftOut) {
  SensorSnapshot sample;
  sample.chips = {{"nct6798", "/sys/devices/platform/nct6775.656", "hwmon3"},
                  {"amdgpu", "/sys/devices/pci0000:00/0000:03:00.0", "hwmon1"},
                  {"amdgpu", "/sys/devices/pci0000:00/0000:03:00.0", "hwmon4"}};
  using K = qrvld::SensorKind;
  const K temp = K::Temperature, in = K::Voltage, power = K::Power;
  sample.sensors = {{0, temp, 1, "SYS\"TIN\\", 32500, {80000, kNone, kNone}},
                    {0, in, 0, "", 1020, {kNone, 1744, kNone}},
                    {0, in, 1, "", kNone, {0, kNone, kNone}},
                    {1, power, 1, "PPT", 8000000, {kNone, kNone, 203000000}},
                    {2, temp, 1, "", 39000, {kNone, kNone, kNone}}};
  std::uint8_t record[qrvl::wire::kRecordSize] = {};
  qrvl::record::Reading reading{};
  for (double& value : reading.value) value = NAN;
  reading.value[qrvl::record::CpuTemp] = 45.04;
  reading.value[qrvl::record::Vcore] = 1.2;
  reading.value[qrvl::record::Fan2] = 845;
  qrvl::record::encode(reading, 0, record);
  const std::string text = qrvld::metricsOfSample(sample, record);

  // Sensors, limits and labels; the second chip of one device is told apart by its hwmonN.
  EXPECT_TRUE(has(text, "qrvl_hwmon_chip_names{chip=\"platform_nct6775_656\",chip_name=\"nct6798\"} 1"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_chip_names{chip=\"pci0000:00_0000:03:00_0_hwmon4\",chip_name=\"amdgpu\"} 1"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_temp_celsius{chip=\"platform_nct6775_656\",sensor=\"temp1\"} 32.5"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_temp_max_celsius{chip=\"platform_nct6775_656\",sensor=\"temp1\"} 80"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_in_volts{chip=\"platform_nct6775_656\",sensor=\"in0\"} 1.02"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_in_min_volts{chip=\"platform_nct6775_656\",sensor=\"in1\"} 0"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_power_watts{chip=\"pci0000:00_0000:03:00_0\",sensor=\"power1\"} 8"));
  EXPECT_TRUE(has(text, "qrvl_hwmon_power_cap_watts{chip=\"pci0000:00_0000:03:00_0\",sensor=\"power1\"} 203"));
  EXPECT_TRUE(
      has(text, "qrvl_hwmon_sensor_label{chip=\"platform_nct6775_656\",label=\"SYS\\\"TIN\\\\\",sensor=\"temp1\"} 1"));
  // A sensor without a value is absent, and so is a family without samples.
  EXPECT_EQ(text.find("qrvl_hwmon_in_volts{chip=\"platform_nct6775_656\",sensor=\"in1\"}"), npos);
  EXPECT_EQ(text.find("qrvl_hwmon_fan"), npos);

  // Channels as the record carries them, rounded; those without a value are absent.
  EXPECT_TRUE(has(text, "# TYPE qrvl_channel_temp_celsius gauge"));
  EXPECT_TRUE(has(text, "qrvl_channel_temp_celsius{channel=\"cpu\"} 45"));
  EXPECT_TRUE(has(text, "qrvl_channel_in_volts{channel=\"vcore\"} 1.2"));
  EXPECT_TRUE(has(text, "qrvl_channel_fan_rpm{channel=\"fan2\"} 845"));
  EXPECT_EQ(text.find("channel=\"pwr\""), npos);
  EXPECT_EQ(text.find("channel=\"fan1\""), npos);
  EXPECT_EQ(qrvld::metricsOfSample(sample, nullptr).find("qrvl_channel"), npos);
}

TEST(MetricsText, HealthHasEveryCounter) {
  qrvld::MetricsHealth health{{}, std::nullopt, false, "1.05"};
  health.counts[static_cast<int>(qrvld::RequestCheck::Valid)] = 12;
  health.counts[static_cast<int>(qrvld::RequestCheck::RateLimited)] = 3;
  const std::string before = qrvld::metricsOfHealth(health);
  EXPECT_TRUE(has(before, "# TYPE qrvl_requests_answered_total counter"));
  EXPECT_TRUE(has(before, "qrvl_requests_answered_total 12"));
  EXPECT_TRUE(has(before, "qrvl_requests_dropped_total{reason=\"rate-limited\"} 3"));
  EXPECT_TRUE(has(before, "qrvl_requests_dropped_total{reason=\"not-allowed\"} 0"));
  EXPECT_EQ(before.find("reason=\"answered\""), npos);
  EXPECT_TRUE(has(before, "qrvl_source_up 0"));
  EXPECT_TRUE(has(before, "qrvl_build_info{version=\"1.05\"} 1"));
  // No snapshot yet, no age.
  EXPECT_EQ(before.find("qrvl_snapshot_age_seconds"), npos);
  health.snapshotAge = 0.25;
  health.sourceUp = true;
  const std::string after = qrvld::metricsOfHealth(health);
  EXPECT_TRUE(has(after, "qrvl_snapshot_age_seconds 0.25"));
  EXPECT_TRUE(has(after, "qrvl_source_up 1"));
}
