// qrvld on fake sysfs trees as a user and a client see it: --list, the configuration,
// and readings served to qrvlget.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DaemonProcess.h"
#include "FakeSysfs.h"
#include "UdpPeer.h"
#include "qrvl/Wire.h"

using namespace qrvltest;

namespace {
std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Golden files are kept with "\n" line ends; a checkout may have turned them into "\r\n".
std::string unixLines(std::string text) { return replaced(std::move(text), "\r\n", "\n"); }

std::string writeConfig(const std::string& folder, const std::string& text) {
  const std::string path = folder + "/qrvld.conf";
  std::ofstream(path) << text;
  return path;
}

// qrvlget's "name: value" lines for one reading from the daemon on `port`.
std::string qrvlget(std::uint16_t port) {
  const std::string command = std::string("'") + QRVLGET_PATH + "' --timeout 2000 127.0.0.1:" + std::to_string(port);
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

std::string line(const std::string& text, const std::string& name) {
  const auto at = text.find(name + ": ");
  if (at == std::string::npos) return "missing";
  const auto start = at + name.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

std::uint64_t nowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

// qrvlget's time, 2024-05-01T10:00:00.250Z, in milliseconds since 1970.
std::uint64_t timeMs(const std::string& text) {
  std::tm tm{};
  unsigned ms = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%uZ", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec, &ms) != 7) {
    return 0;
  }
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  return static_cast<std::uint64_t>(timegm(&tm)) * 1000 + ms;
}
}  // namespace

TEST(HwmonDaemon, ListMatchesTheGoldenText) {
  // Every chip, sensor, value and channel of three machines, and the mapping as a [map]
  // section. Paths inside the copied tree are written @TREE@ in the golden files.
  for (const char* tree : {"intel", "amd", "xeon"}) {
    SCOPED_TRACE(tree);
    FakeSysfs sysfs(tree);
    const auto list = DaemonProcess::run({"--list", "--sysfs-root", sysfs.root()});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(replaced(list.out, sysfs.top(), "@TREE@"),
              unixLines(readFile(std::string(QRVL_GOLDEN) + "/" + tree + ".txt")));
  }

  // Nothing to list is an error, on stderr.
  const auto missing = DaemonProcess::run({"--list", "--sysfs-root", "/nonexistent/hwmon"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("cannot read /nonexistent/hwmon: No such file or directory"), std::string::npos);
  FakeSysfs sysfs("amd");
  const auto empty = DaemonProcess::run({"--list", "--sysfs-root", sysfs.top() + "/devices/platform"});
  EXPECT_EQ(empty.code, 1);
  EXPECT_NE(empty.err.find("no hwmon chip under"), std::string::npos) << empty.err;
}

TEST(HwmonDaemon, TheListedMapIsAConfiguration) {
  // The [map] section --list prints, copied into the configuration file with a change,
  // is taken as it stands: the same sensors, now configured.
  FakeSysfs xeon("xeon");
  const auto first = DaemonProcess::run({"--list", "--sysfs-root", xeon.root()});
  ASSERT_EQ(first.code, 0) << first.err;
  const std::string section = first.out.substr(first.out.find("[map]"));
  const std::string config = writeConfig(
      xeon.top(), "[qrvld]\nsysfs-root = " + xeon.root() + "\n" +
                      replaced(section, "vtt   = none", "vtt = nct6776 in6 * 1.5 - 0.006"));
  const auto second = DaemonProcess::run({"--config", config, "--list"});
  ASSERT_EQ(second.code, 0) << second.err;
  const std::string expected =
      replaced(replaced(section, "automatic", "configured"), "vtt   = none\n",
               "vtt   = nct6776 in6 * 1.5 - 0.006 ; configured: 1.650 V\n");
  EXPECT_EQ(second.out.substr(second.out.find("[map]")), expected);
}

TEST(HwmonDaemon, ServesNewValuesToQrvlgetWithinOneCadence) {
  FakeSysfs amd("amd");
  const std::string config = writeConfig(amd.top(), "[map]\nvtt = it8688 in4 * 1.25 - 0.1\n");
  const int cadenceMs = 300;
  DaemonProcess daemon({"--source", "auto", "--sysfs-root", amd.root(), "--config", config, "--cadence",
                        std::to_string(cadenceMs)});
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;
  EXPECT_NE(daemon.log().find("source: hwmon chips under " + amd.root()), std::string::npos) << daemon.log();

  // The record's texts as the protocol formats them; empty channels are empty texts.
  std::string reading = qrvlget(daemon.port());
  EXPECT_EQ(line(reading, "CPU"), "52.9") << reading;
  EXPECT_EQ(line(reading, "PWR"), "");
  EXPECT_EQ(line(reading, "SYS"), "33.0");
  EXPECT_EQ(line(reading, "Vcore"), "1.332");
  EXPECT_EQ(line(reading, "VTT"), "1.175");
  EXPECT_EQ(line(reading, "Vio"), "3.312");
  EXPECT_EQ(line(reading, "Fan1"), "1150");
  EXPECT_EQ(line(reading, "Fan2"), "0");
  EXPECT_EQ(line(reading, "Fan3"), "786");

  // The chips' values change; a reading taken one cadence later has them all, and was
  // sampled after the change.
  amd.write("hwmon0", "temp1_input", "61250");
  amd.write("hwmon1", "temp1_input", "-1000");
  amd.write("hwmon1", "in0_input", "1404");
  amd.write("hwmon1", "in4_input", "880");
  amd.write("hwmon1", "in9_input", "3300");
  amd.write("hwmon1", "fan1_input", "1725");
  amd.write("hwmon1", "fan2_input", "65535");
  amd.write("hwmon1", "fan3_input", "0");
  const std::uint64_t changed = nowMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(cadenceMs + 150));
  reading = qrvlget(daemon.port());
  EXPECT_EQ(line(reading, "CPU"), "61.2") << reading;
  EXPECT_EQ(line(reading, "SYS"), "-1.0");
  EXPECT_EQ(line(reading, "Vcore"), "1.404");
  EXPECT_EQ(line(reading, "VTT"), "1.000");
  EXPECT_EQ(line(reading, "Vio"), "3.300");
  EXPECT_EQ(line(reading, "Fan1"), "1725");
  EXPECT_EQ(line(reading, "Fan2"), "");
  EXPECT_EQ(line(reading, "Fan3"), "0");
  EXPECT_GE(timeMs(line(reading, "Time")), changed - 5);
  EXPECT_EQ(daemon.stop(), 0);
}

TEST(HwmonDaemon, SourceChoiceAndConfigurationErrors) {
  FakeSysfs intel("intel");
  std::string error;

  // auto takes the chips when the root has any, else the simulated chip.
  DaemonProcess withChips({"--source", "auto", "--sysfs-root", intel.root()});
  ASSERT_TRUE(withChips.start(error)) << error;
  EXPECT_TRUE(withChips.waitForLog("hwmon mapping: cpu=coretemp temp1, pwr=asusec temp2, sys=nct6798 temp1", 2000))
      << withChips.log();
  DaemonProcess without({"--source", "auto", "--sysfs-root", intel.top() + "/devices/virtual"});
  ASSERT_TRUE(without.start(error)) << error;
  EXPECT_NE(without.log().find("using the simulated chip"), std::string::npos) << without.log();

  // hwmon asked for by name waits for chips under an empty root, answering with no
  // reading meanwhile, but refuses a root it cannot read.
  DaemonProcess waiting({"--source", "hwmon", "--sysfs-root", intel.top() + "/devices/virtual"});
  ASSERT_TRUE(waiting.start(error)) << error;
  EXPECT_TRUE(waiting.waitForLog("no hwmon chip under", 2000)) << waiting.log();
  UdpPeer client;
  client.sendTo("127.0.0.1", waiting.port(), request(7));
  const auto reply = client.receive(2000);
  ASSERT_TRUE(reply);
  EXPECT_EQ(qrvl::wire::checkResponse(reply->data.data(), reply->data.size(), 7), qrvl::wire::ResponseCheck::NoReading);
  const auto unreadable = DaemonProcess::run({"--source", "hwmon", "--sysfs-root", "/nonexistent/hwmon"});
  EXPECT_EQ(unreadable.code, 1);
  EXPECT_NE(unreadable.err.find("cannot read /nonexistent/hwmon"), std::string::npos) << unreadable.err;

  // A bad [map] entry is named with its file and line, and the daemon does not start.
  const std::string config = writeConfig(intel.top(), "[qrvld]\nsource = hwmon\n[map]\ncpu = coretemp temp1\n"
                                                      "vio = nct6798 in3 x 2\n");
  const auto bad = DaemonProcess::run({"--config", config});
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find(config + ":5: bad [map] vio \"nct6798 in3 x 2\""), std::string::npos) << bad.err;
  const std::string stray = writeConfig(intel.top(), "[sensors]\ncpu = coretemp temp1\n");
  const auto outside = DaemonProcess::run({"--config", stray});
  EXPECT_EQ(outside.code, 2);
  EXPECT_NE(outside.err.find("outside the [qrvld] and [map] sections"), std::string::npos) << outside.err;
}
