#pragma once
// qrvld's metrics in the Prometheus text format, version 0.0.4.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "hwmon/SensorSnapshot.h"
#include "net/RequestGate.h"

namespace qrvld {

// What the daemon says about itself at the time of a scrape.
struct MetricsHealth {
  std::array<std::uint64_t, static_cast<int>(RequestCheck::kCount)> counts;  // by RequestCheck; Valid counts answers
  std::optional<double> snapshotAge;                                 // seconds; none before the first
  bool sourceUp;
  std::string version;
};

// The chip label Prometheus's node exporter gives a hwmon chip, so that dashboards can join
// the two: from its device path ("platform_coretemp_0", "pci0000:00_0000:00:18_3"), else
// from its name, else from its hwmonN.
std::string exporterChipLabel(const SensorSnapshot::Chip& chip);

// The hwmon sensors, their limits, and the channels as the snapshot's record carries them;
// `record` is null for a snapshot without a reading, whose channels are all absent.
std::string metricsOfSample(const SensorSnapshot& sample, const std::uint8_t* record);

std::string metricsOfHealth(const MetricsHealth& health);

}  // namespace qrvld
