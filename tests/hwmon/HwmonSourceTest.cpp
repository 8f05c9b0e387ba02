// The hwmon source on copies of real sysfs trees: which sensor feeds which channel, and
// what a reading holds when chips move, go away, fail or report nonsense.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>

#include "FakeSysfs.h"
#include "HangingRead.h"
#include "WaitUntil.h"
#include "mapping/ChannelMap.h"
#include "mapping/ChipList.h"
#include "source/HwmonSource.h"
#include "source/Sampler.h"
#include "qrvl/Channels.h"

using namespace qrvltest;
using qrvl::record::Reading;
using qrvld::ChannelMap;
using qrvld::HwmonSource;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {
const double kEmpty = NAN;
using Values = std::vector<double>;  // CPU PWR SYS Vcore VTT Vio Fan1 Fan2 Fan3

void expectValues(const Reading& reading, const Values& expected) {
  for (int c = 0; c < qrvl::record::kChannelCount; ++c) {
    const char* name = qrvl::channelFacts(c).name;
    if (std::isnan(expected[c])) {
      EXPECT_TRUE(std::isnan(reading.value[c])) << name << " should be empty, is " << reading.value[c];
    } else {
      EXPECT_NEAR(reading.value[c], expected[c], 1e-9) << name;
    }
  }
}

ChannelMap mapOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  ChannelMap map;
  for (const auto& [key, value] : entries) {
    std::string error;
    EXPECT_TRUE(map.set(key, value, error)) << key << " = " << value << ": " << error;
  }
  return map;
}

// A sample with time enough for any chip that answers at all.
Reading sampled(HwmonSource& source, bool expectAny = true) {
  Reading reading{};
  EXPECT_EQ(source.sample(reading, std::chrono::steady_clock::now() + std::chrono::seconds(5)), expectAny);
  return reading;
}

// The automatic mapping of each tree, in degrees, volts and RPM.
const Values kIntel = {45.0, 51.0, 32.0, 1.020, kEmpty, 3.296, 0, 845, 1203};
const Values kAmd = {52.875, kEmpty, 33.0, 1.332, kEmpty, 3.312, 1150, 0, 786};
const Values kXeon = {38.0, kEmpty, 34.0, 0.936, kEmpty, 3.344, 4821, 4655, 0};
}  // namespace

TEST(HwmonSource, AutomaticMappingOfEachDriver) {
  // coretemp's package, an ASUS EC's VRM label, nct6798's SYSTIN, in0, in3 and fans.
  FakeSysfs intel("intel");
  HwmonSource intelSource(intel.root(), ChannelMap());
  expectValues(sampled(intelSource), kIntel);

  // k10temp's Tctl; it8688's temp1, in0, the in9 labelled "+3.3V", fans; the graphics
  // card's "vddgfx" and fan are not taken for the board's.
  FakeSysfs amd("amd");
  HwmonSource amdSource(amd.root(), ChannelMap());
  expectValues(sampled(amdSource), kAmd);

  // Two coretemp chips: package 0 is the CPU; nct6776 as the Super-I/O chip.
  FakeSysfs xeon("xeon");
  HwmonSource xeonSource(xeon.root(), ChannelMap());
  expectValues(sampled(xeonSource), kXeon);

  // Without coretemp or k10temp, a board chip's CPU label stands in.
  intel.unplug("hwmon2");
  HwmonSource noCoretemp(intel.root(), ChannelMap());
  expectValues(sampled(noCoretemp), {35.5, 51.0, 32.0, 1.020, kEmpty, 3.296, 0, 845, 1203});
}

TEST(HwmonSource, ConfiguredMappingWithMultiplierAndOffset) {
  FakeSysfs intel("intel");

  // Configured channels take their chip and attribute, scaled as reading * m + o; those
  // not configured keep the automatic choice; "none" stays empty.
  HwmonSource source(intel.root(), mapOf({{"cpu", "nct6798 temp2"},
                                          {"pwr", "asusec temp1 + 1.5"},
                                          {"vtt", "nct6798 in6 * 2 + 0.1"},
                                          {"vio", "nct6798 in4*2-0.05"},
                                          {"fan1", "asusec fan1"},
                                          {"fan3", "none"}}));
  expectValues(sampled(source), {35.5, 49.5, 32.0, 1.020, 1.108, 3.262, 0, 845, kEmpty});

  // Where two chips share a name, the device picks one: by its last path part or whole.
  FakeSysfs xeon("xeon");
  HwmonSource second(xeon.root(), mapOf({{"cpu", "coretemp@coretemp.1 temp1"},
                                         {"pwr", "coretemp@" + xeon.top() + "/devices/platform/coretemp.0 temp3"}}));
  expectValues(sampled(second), {40.0, 37.0, 34.0, 0.936, kEmpty, 3.344, 4821, 4655, 0});

  // A configured chip or attribute that is not there leaves its channel empty only.
  HwmonSource absent(intel.root(), mapOf({{"cpu", "k10temp temp1"}, {"sys", "nct6798 temp9"}}));
  expectValues(sampled(absent), {kEmpty, 51.0, kEmpty, 1.020, kEmpty, 3.296, 0, 845, 1203});
}

TEST(HwmonSource, IdentityOutlivesRenumberingAtReboot) {
  FakeSysfs intel("intel");
  const ChannelMap configured = mapOf({{"vtt", "nct6798 in6 * 2"}, {"pwr", "asusec temp1"}});
  HwmonSource before(intel.root(), configured);
  const Values expected = {45.0, 48.0, 32.0, 1.020, 1.008, 3.296, 0, 845, 1203};
  expectValues(sampled(before), expected);

  // Another boot probes the drivers in another order: coretemp and nct6798 swap numbers,
  // the others move too. Chips are known by name and device, so nothing changes.
  intel.renumber({{"hwmon2", "hwmon3"}, {"hwmon3", "hwmon2"}, {"hwmon4", "hwmon0"}, {"hwmon0", "hwmon5"}});
  HwmonSource after(intel.root(), configured);
  expectValues(sampled(after), expected);
}

TEST(HwmonSource, AChipThatGoesAwayIsFoundAgainWithoutARestart) {
  FakeSysfs intel("intel");
  SysfsReads reads;
  HwmonSource source(intel.root(), mapOf({{"fan1", "asusec fan1"}}), reads.function());
  expectValues(sampled(source), {45.0, 51.0, 32.0, 1.020, kEmpty, 3.296, 0, 845, 1203});

  // Its driver unloaded, a chip's channels are empty; the rest reads on.
  intel.unplug("hwmon3");
  expectValues(sampled(source), {45.0, 51.0, kEmpty, kEmpty, kEmpty, kEmpty, 0, kEmpty, kEmpty});
  expectValues(sampled(source), {45.0, 51.0, kEmpty, kEmpty, kEmpty, kEmpty, 0, kEmpty, kEmpty});

  // The CPU's chip gone too, the CPU channel waits for it rather than taking the board
  // chip's CPU label; with no channel left, there is no reading at all.
  intel.unplug("hwmon2");
  intel.unplug("hwmon4");
  expectValues(sampled(source, false), {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty});

  // Loaded again, they come back under new numbers with new readings, and are read from
  // the next sample on.
  intel.plug("hwmon3", "hwmon6");
  intel.write("hwmon6", "temp1_input", "33500");
  expectValues(sampled(source), {kEmpty, kEmpty, 33.5, 1.020, kEmpty, 3.296, kEmpty, 845, 1203});
  intel.plug("hwmon2", "hwmon7");
  intel.plug("hwmon4", "hwmon8");
  intel.write("hwmon8", "fan1_input", "1500");
  expectValues(sampled(source), {45.0, 51.0, 33.5, 1.020, kEmpty, 3.296, 1500, 845, 1203});

  // An empty root at the start is looked at again at every sample as well.
  const std::string empty = intel.top() + "/empty";
  std::filesystem::create_directory(empty);
  HwmonSource waiting(empty, ChannelMap());
  sampled(waiting, false);
  std::filesystem::create_directory_symlink(intel.root() + "/hwmon7", empty + "/hwmon0");
  expectValues(sampled(waiting), {45.0, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty});
}

TEST(HwmonSource, ReadErrorsEmptyTheirChannelForThatSampleOnly) {
  FakeSysfs intel("intel");
  SysfsReads reads;
  HwmonSource source(intel.root(), ChannelMap(), reads.function());
  expectValues(sampled(source), kIntel);

  // Each error a driver gives: that channel is empty in that sample (never the last
  // value again), the others are read; the next sample reads it anew.
  for (int error : {EIO, ENODATA, EAGAIN, ENXIO, ENODEV}) {
    SCOPED_TRACE(std::strerror(error));
    reads.failing = "/hwmon3/in0_input";
    reads.error = error;
    expectValues(sampled(source), {45.0, 51.0, 32.0, kEmpty, kEmpty, 3.296, 0, 845, 1203});
    reads.failing.clear();
    intel.write("hwmon3", "in0_input", std::to_string(1000 + error));
    expectValues(sampled(source), {45.0, 51.0, 32.0, (1000 + error) / 1000.0, kEmpty, 3.296, 0, 845, 1203});
  }

  // Text that is not a number is no value either.
  intel.write("hwmon2", "temp1_input", "N/A");
  expectValues(sampled(source), {kEmpty, 51.0, 32.0, (1000 + ENODEV) / 1000.0, kEmpty, 3.296, 0, 845, 1203});
}

TEST(HwmonSource, FaultFlagsAndImplausibleValuesGiveNoValue) {
  // tmp451's remote diode reports an open circuit through temp2_fault.
  FakeSysfs xeon("xeon");
  HwmonSource source(xeon.root(), mapOf({{"pwr", "tmp451 temp2"}}));
  expectValues(sampled(source), {38.0, kEmpty, 34.0, 0.936, kEmpty, 3.344, 4821, 4655, 0});
  xeon.write("hwmon3", "temp2_input", "45125");
  xeon.write("hwmon3", "temp2_fault", "0");
  expectValues(sampled(source), {38.0, 45.125, 34.0, 0.936, kEmpty, 3.344, 4821, 4655, 0});
  xeon.write("hwmon3", "temp2_fault", "1");
  expectValues(sampled(source), {38.0, kEmpty, 34.0, 0.936, kEmpty, 3.344, 4821, 4655, 0});

  // Values no sensor of the kind can have, before or after the multiplier: the 127 and
  // -62 degrees of open thermistor inputs, 20.16 V, a fan counter's overflow. The limits
  // themselves are values.
  FakeSysfs intel("intel");
  HwmonSource board(intel.root(),
                    mapOf({{"pwr", "nct6798 temp4"}, {"sys", "nct6798 temp6"}, {"vtt", "nct6798 in1 * 20"}}));
  expectValues(sampled(board), {45.0, kEmpty, kEmpty, 1.020, kEmpty, 3.296, 0, 845, 1203});
  intel.write("hwmon3", "fan2_input", "1350000");
  intel.write("hwmon2", "temp1_input", "125000");
  intel.write("hwmon3", "temp6_input", "-40000");
  expectValues(sampled(board), {125.0, kEmpty, -40.0, 1.020, kEmpty, 3.296, 0, kEmpty, 1203});
  intel.write("hwmon2", "temp1_input", "125001");
  intel.write("hwmon3", "temp4_input", "-40001");
  intel.write("hwmon3", "fan2_input", "30000");
  expectValues(sampled(board), {kEmpty, kEmpty, -40.0, 1.020, kEmpty, 3.296, 0, 30000, 1203});
}

TEST(HwmonSource, AChipWhoseDriverHangsEmptiesOnlyItsOwnChannels) {
  FakeSysfs intel("intel");
  HangingRead hanging("/hwmon2/temp1_input");  // coretemp's package: the CPU channel
  HwmonSource source(intel.root(), ChannelMap(), hanging.function());

  // The first sample waits for the chip until its deadline, no longer, and has the other
  // chips' values.
  Reading reading{};
  auto asked = Clock::now();
  EXPECT_TRUE(source.sample(reading, asked + 300ms));
  EXPECT_GE(Clock::now() - asked, 300ms);
  EXPECT_LT(Clock::now() - asked, 800ms);
  expectValues(reading, {kEmpty, 51.0, 32.0, 1.020, kEmpty, 3.296, 0, 845, 1203});

  // While its read hangs the chip is not waited for again, and the others are read anew.
  intel.write("hwmon3", "in0_input", "1100");
  asked = Clock::now();
  EXPECT_TRUE(source.sample(reading, asked + 1000ms));
  EXPECT_LT(Clock::now() - asked, 500ms);
  expectValues(reading, {kEmpty, 51.0, 32.0, 1.100, kEmpty, 3.296, 0, 845, 1203});

  // Once the read returns, the chip is read again, for the value it has now.
  intel.write("hwmon2", "temp1_input", "47000");
  hanging.release();
  waitUntil(500, [&] { return !std::isnan(sampled(source).value[qrvl::record::CpuTemp]); });
  expectValues(sampled(source), {47.0, 51.0, 32.0, 1.100, kEmpty, 3.296, 0, 845, 1203});
}

TEST(HwmonSource, AHangingChipStopsNeitherTheSamplerNorTheListNorTheEnd) {
  FakeSysfs intel("intel");
  HangingRead hanging("/hwmon2/temp1_input");
  auto source = std::make_unique<HwmonSource>(intel.root(), ChannelMap(), hanging.function());

  // The sampler publishes at its cadence, each snapshot with a new sample time, SYS read
  // and CPU empty: never its last value under a new time.
  qrvld::Sampler sampler(*source, 100ms);
  std::string error;
  ASSERT_TRUE(sampler.start(error)) << error;
  std::vector<qrvld::Snapshot> snapshots;
  for (const auto end = Clock::now() + 650ms; Clock::now() < end;) {
    pollfd ready{sampler.fd(), POLLIN, 0};
    qrvld::Snapshot snapshot;
    if (poll(&ready, 1, 20) == 1 && sampler.take(snapshot)) snapshots.push_back(snapshot);
  }
  ASSERT_GE(snapshots.size(), 4u);
  for (std::size_t i = 0; i < snapshots.size(); ++i) {
    const std::uint8_t* record = snapshots[i].record;
    EXPECT_EQ(snapshots[i].status, qrvl::wire::kStatusReading);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record)), "");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 2 * qrvl::record::kFieldSize)), "32.0");
    if (i > 0) {
      EXPECT_GE(qrvl::record::sampleTime(record), qrvl::record::sampleTime(snapshots[i - 1].record) + 50);
    }
  }

  // The sampler stops, and the source goes, at once although the read still hangs.
  auto asked = Clock::now();
  EXPECT_TRUE(sampler.stop(500ms));
  source.reset();
  EXPECT_LT(Clock::now() - asked, 500ms);

  // --list waits for the chip no longer than its patience and says it did not answer.
  std::string text;
  asked = Clock::now();
  ASSERT_TRUE(qrvld::listChips(intel.root(), ChannelMap(), hanging.function(), 300ms, text, error)) << error;
  EXPECT_LT(Clock::now() - asked, 800ms);
  EXPECT_NE(text.find("  temp1  Package id 0             no answer" + std::string(20, ' ') + "-> CPU\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("cpu   = coretemp temp1           ; automatic: no answer\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  temp1  SYSTIN                   32.0 C                       -> SYS    (max 80.0 C)\n"),
            std::string::npos)
      << text;
}
