// qrvld on fake sysfs trees as a user and a client see it: --list, the configuration and
// its reload, readings served to qrvlget and to a bare client, chips that come late, sensor
// files that are not what sysfs would have.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DaemonProcess.h"
#include "FakeSysfs.h"
#include "TempFiles.h"
#include "UdpPeer.h"
#include "WaitUntil.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

using namespace qrvltest;
using qrvl::wire::checkResponse;
using qrvl::wire::ResponseCheck;

namespace {
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Golden files are kept with "\n" line ends; a checkout may have turned them into "\r\n".
std::string unixLines(std::string text) { return replaced(std::move(text), "\r\n", "\n"); }

// qrvlget's output for one reading from the daemon on `port`.
std::string qrvlget(std::uint16_t port, const std::string& options = "") {
  const std::string command =
      std::string("'") + QRVLGET_PATH + "' --timeout 2000 " + options + " " + loopbackAt(port);
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

// qrvlget --check's output and exit status.
struct CheckRun {
  int code;
  std::string out;
};
CheckRun qrvlcheck(const std::string& target, const std::string& options) {
  const std::string command = std::string("'") + QRVLGET_PATH + "' --timeout 2000 --check " + options + " " + target;
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Whether a check's output is one line as the monitoring plugins' guidelines write it:
// "QRVL STATE - text", then "|" and 'label'=value;warn;crit items, the ranges in their syntax.
bool pluginLine(const std::string& out) {
  static const std::regex whole(R"(QRVL (OK|WARNING|CRITICAL|UNKNOWN) - [^|\n]+( \|( \S+)+)?\n)");
  static const std::regex item(R"('[a-z0-9]+'=-?[0-9]+(\.[0-9]+)?(;(@?(~|-?[0-9.]+)?(:(-?[0-9.]+)?)?)?){0,2})");
  if (!std::regex_match(out, whole)) return false;
  const auto bar = out.find(" | ");
  if (bar == std::string::npos) return true;
  std::istringstream items(out.substr(bar + 3));
  for (std::string one; items >> one;) {
    if (!std::regex_match(one, item)) return false;
  }
  return true;
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

// The nine channel fields as a response holds them, each text NUL-padded to its 8 bytes.
std::string fields(std::vector<std::string> texts) {
  std::string all;
  for (std::string& text : texts) all += text.append(qrvl::record::kFieldSize - text.size(), '\0');
  return all;
}

// Asks until a reading's fields are `expected` or `ms` have gone by; the last reading's fields.
std::string awaitFields(UdpPeer& client, std::uint16_t port, int ms, const std::string& expected) {
  static std::uint32_t sequence = 1000;
  std::string seen;
  waitUntil(ms, [&] {
    const auto reply = client.ask(port, ++sequence, 20);
    if (reply && checkResponse(reply->data.data(), reply->data.size(), sequence) == ResponseCheck::Reading) {
      seen.assign(reinterpret_cast<const char*>(reply->data.data()) + qrvl::wire::kRecordOffset, expected.size());
    }
    return seen == expected;
  });
  return seen;
}

// The sample time of the reading the daemon on `port` answers with; 0 without one.
std::uint64_t sampleTimeOf(UdpPeer& client, std::uint16_t port) {
  static std::uint32_t sequence = 100000;
  const auto reply = client.ask(port, ++sequence, 200);
  if (!reply || checkResponse(reply->data.data(), reply->data.size(), sequence) != ResponseCheck::Reading) return 0;
  return qrvl::record::sampleTime(reply->data.data() + qrvl::wire::kRecordOffset);
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
  // Every chip, sensor, value, limit and channel of three machines, and the mapping as a
  // [map] section. Paths inside the copied tree are written @TREE@ in the golden files.
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
  // It says where else to look, and how to try things out without chips.
  EXPECT_NE(empty.err.find("--sysfs-root DIR"), std::string::npos) << empty.err;
  EXPECT_NE(empty.err.find("--source sim"), std::string::npos) << empty.err;
}

TEST(HwmonDaemon, TheListedMapIsAConfiguration) {
  // The [map] section --list prints, copied into the configuration file with a change,
  // is taken as it stands: the same sensors, now configured.
  FakeSysfs xeon("xeon");
  const auto first = DaemonProcess::run({"--list", "--sysfs-root", xeon.root()});
  ASSERT_EQ(first.code, 0) << first.err;
  const std::string section = first.out.substr(first.out.find("[map]"));
  const std::string config = writeFile(xeon.top() + "/qrvld.conf", "[qrvld]\nsysfs-root = " + xeon.root() + "\n" +
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
  const std::string config = writeFile(amd.top() + "/qrvld.conf", "[map]\nvtt = it8688 in4 * 1.25 - 0.1\n");
  const int cadenceMs = 300;
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", amd.root(), "--config", config, "--cadence",
                        std::to_string(cadenceMs)});
  ASSERT_EQ(daemon.start(), "");
  EXPECT_NE(daemon.log().find("source: hwmon chips under " + amd.root()), std::string::npos) << daemon.log();

  // The record's texts as the protocol formats them, with their units; empty channels
  // show "-" to a person and null to a script.
  std::string reading = qrvlget(daemon.port());
  EXPECT_EQ(line(reading, "CPU"), "52.9 C") << reading;
  EXPECT_EQ(line(reading, "PWR"), "-");
  EXPECT_EQ(line(reading, "SYS"), "33.0 C");
  EXPECT_EQ(line(reading, "Vcore"), "1.332 V");
  EXPECT_EQ(line(reading, "VTT"), "1.175 V");
  EXPECT_EQ(line(reading, "Vio"), "3.312 V");
  EXPECT_EQ(line(reading, "Fan1"), "1150 RPM");
  EXPECT_EQ(line(reading, "Fan2"), "0 RPM");
  EXPECT_EQ(line(reading, "Fan3"), "786 RPM");
  const std::string json = qrvlget(daemon.port(), "--json");
  EXPECT_EQ(json.substr(0, json.find("\"time\"")),
            "{\"cpu\": 52.9, \"pwr\": null, \"sys\": 33.0, \"vcore\": 1.332, \"vtt\": 1.175, \"vio\": 3.312, "
            "\"fan1\": 1150, \"fan2\": 0, \"fan3\": 786, ")
      << json;
  const std::size_t time = json.find("\"time\": \"") + 9;
  EXPECT_GE(timeMs(json.substr(time, 24)), nowMs() - 5000) << json;
  EXPECT_EQ(json.substr(time + 24), "\"}\n") << json;

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
  // Asked until the answer comes from a sample taken after the change.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(3 * cadenceMs + 2000);
  do {
    reading = qrvlget(daemon.port());
  } while (timeMs(line(reading, "Time")) + 5 < changed && std::chrono::steady_clock::now() < end);
  EXPECT_EQ(line(reading, "CPU"), "61.2 C") << reading;
  EXPECT_EQ(line(reading, "SYS"), "-1.0 C");
  EXPECT_EQ(line(reading, "Vcore"), "1.404 V");
  EXPECT_EQ(line(reading, "VTT"), "1.000 V");
  EXPECT_EQ(line(reading, "Vio"), "3.300 V");
  EXPECT_EQ(line(reading, "Fan1"), "1725 RPM");
  EXPECT_EQ(line(reading, "Fan2"), "-");
  EXPECT_EQ(line(reading, "Fan3"), "0 RPM");
  EXPECT_GE(timeMs(line(reading, "Time")), changed - 5);
  EXPECT_EQ(daemon.stop(), 0);
}

TEST(HwmonDaemon, QrvlgetCheckJudgesTheReadingAsAMonitoringPlugin) {
  // CPU 52.9, PWR none, SYS 33.0, Vcore 1.332, VTT 1.175, Vio 3.312, fans 1150, 0, 786.
  FakeSysfs amd("amd");
  const std::string config = writeFile(amd.top() + "/qrvld.conf", "[map]\nvtt = it8688 in4 * 1.25 - 0.1\n");
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", amd.root(), "--config", config});
  ASSERT_EQ(daemon.start(), "");
  const std::string host = loopbackAt(daemon.port());

  // Every channel with a value in the perfdata, numbers alone, with its ranges.
  CheckRun run = qrvlcheck(host, "-w cpu=80 -c CPU=90 --warning vcore=0.8:1.45");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out,
            "QRVL OK - all channels fine | 'cpu'=52.9;80;90 'sys'=33.0 'vcore'=1.332;0.8:1.45 'vtt'=1.175 "
            "'vio'=3.312 'fan1'=1150 'fan2'=0 'fan3'=786\n");
  EXPECT_TRUE(pluginLine(run.out));

  // Each form of range: N (0..N), N: (below N), ~:N (above N), N:M, @N:M (inside).
  run = qrvlcheck(host, "-w cpu=50 -w sys=~:30,fan1=1200: -w vio=3.3:3.4 -w fan2=@1:9999");
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_EQ(run.out.substr(0, run.out.find(" |")),
            "QRVL WARNING - cpu 52.9 C (warning 50), sys 33.0 C (warning ~:30), fan1 1150 RPM (warning 1200:)");
  EXPECT_TRUE(pluginLine(run.out)) << run.out;
  run = qrvlcheck(host, "-w cpu=50 -c cpu=52.8 -c fan2=@0:0 -w vtt=2");
  EXPECT_EQ(run.code, 2) << run.out;
  EXPECT_EQ(run.out.substr(0, run.out.find(" |")),
            "QRVL CRITICAL - cpu 52.9 C (critical 52.8), fan2 0 RPM (critical @0:0)");
  EXPECT_NE(run.out.find(" 'cpu'=52.9;50;52.8 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" 'fan2'=0;;@0:0 "), std::string::npos) << run.out;
  EXPECT_TRUE(pluginLine(run.out)) << run.out;

  // A channel named that has no value is unknown, and so is a question asked wrongly;
  // a critical value outweighs both.
  run = qrvlcheck(host, "-w pwr=80 -w cpu=90");
  EXPECT_EQ(run.code, 3) << run.out;
  EXPECT_EQ(run.out.substr(0, run.out.find(" |")), "QRVL UNKNOWN - pwr has no value");
  EXPECT_EQ(qrvlcheck(host, "-w pwr=80 -c cpu=50").code, 2);
  for (const char* wrong : {"-w cpu=8O", "-w cpu", "-w gpu=80", "-c cpu=90:80", "-w cpu=@", "-c", "--json", "--bogus",
                            "-w 'cpu=8|0'"}) {
    run = qrvlcheck(host, wrong);
    EXPECT_EQ(run.code, 3) << wrong << ": " << run.out;
    EXPECT_EQ(run.out.rfind("QRVL UNKNOWN - ", 0), 0u) << wrong << ": " << run.out;
    EXPECT_TRUE(pluginLine(run.out)) << run.out;
  }

  // A host that does not answer.
  const std::uint16_t port = daemon.port();
  EXPECT_EQ(daemon.stop(), 0);
  run = qrvlcheck(loopbackAt(port), "-w cpu=80");
  EXPECT_EQ(run.code, 3) << run.out;
  EXPECT_EQ(run.out.rfind("QRVL UNKNOWN - no reading from ", 0), 0u) << run.out;
  EXPECT_TRUE(pluginLine(run.out)) << run.out;
}

TEST(HwmonDaemon, SourceChoiceAndConfigurationErrors) {
  FakeSysfs intel("intel");

  // hwmon is the default: without a source named, a root it cannot read is refused, where
  // the simulated chip would have started. auto is no source any more.
  const auto unreadable = DaemonProcess::run({"--sysfs-root", "/nonexistent/hwmon"});
  EXPECT_EQ(unreadable.code, 1);
  EXPECT_NE(unreadable.err.find("cannot read /nonexistent/hwmon"), std::string::npos) << unreadable.err;
  const std::string conf = intel.top() + "/qrvld.conf";
  const auto file = DaemonProcess::run({"--config", writeFile(conf, "[qrvld]\nsource = auto\n")});
  EXPECT_EQ(file.code, 2);
  EXPECT_NE(file.err.find("qrvld.conf:2: bad source \"auto\": expected hwmon or sim"), std::string::npos) << file.err;

  // A bad [map] entry is named with its file and line, and the daemon does not start.
  const std::string config =
      writeFile(conf, "[qrvld]\nsource = hwmon\n[map]\ncpu = coretemp temp1\nvio = nct6798 in3 x 2\n");
  const auto bad = DaemonProcess::run({"--config", config});
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find(config + ":5: bad [map] vio \"nct6798 in3 x 2\""), std::string::npos) << bad.err;
  const std::string stray = writeFile(conf, "[sensors]\ncpu = coretemp temp1\n");
  const auto outside = DaemonProcess::run({"--config", stray});
  EXPECT_EQ(outside.code, 2);
  EXPECT_NE(outside.err.find("outside the [qrvld] and [map] sections"), std::string::npos) << outside.err;
}

// The first line qrvld writes to a stderr file when refusing "--source auto", with
// JOURNAL_STREAM set as systemd sets it for the stream of `journal` (or unset).
std::string firstErrorLine(const std::string& stderrPath, const std::string& journal) {
  writeFile(stderrPath, "");
  std::string env = "env -u JOURNAL_STREAM";
  struct stat status {};
  if (!journal.empty() && stat(journal.c_str(), &status) == 0) {
    env += " JOURNAL_STREAM=" + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  }
  const std::string command = env + " '" + QRVLD_PATH + "' --source auto 2>>'" + stderrPath + "'";
  EXPECT_NE(std::system(command.c_str()), 0);
  const std::string text = readFile(stderrPath);
  return text.substr(0, text.find('\n'));
}

TEST(HwmonDaemon, LogLinesCarryPrioritiesOnlyIntoTheJournal) {
  FakeSysfs intel("intel");
  const std::string err = intel.top() + "/stderr";
  // stderr is the journal's stream: a syslog priority starts the line.
  EXPECT_EQ(firstErrorLine(err, err).rfind("<3>bad source \"auto\"", 0), 0u);
  // A terminal, a pipe or a file: plain lines, also when the variable names another stream.
  EXPECT_EQ(firstErrorLine(err, "").rfind("bad source \"auto\"", 0), 0u);
  EXPECT_EQ(firstErrorLine(err, intel.root()).rfind("bad source \"auto\"", 0), 0u);
}

TEST(HwmonDaemon, AnswersNoReadingUntilAChipComesThenTakesItIn) {
  FakeSysfs intel("intel");
  for (const char* entry : {"hwmon0", "hwmon1", "hwmon2", "hwmon3", "hwmon4"}) intel.unplug(entry);
  const int cadenceMs = 300;
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", intel.root(), "--cadence", std::to_string(cadenceMs)});
  ASSERT_EQ(daemon.start(), "");
  UdpPeer client;

  // No chip: requests over several cadences get status 1, never a reading; the log says
  // so once, not at every sample.
  for (std::uint32_t sequence = 1; sequence <= 4; ++sequence) {
    std::this_thread::sleep_for(std::chrono::milliseconds(cadenceMs));
    const auto reply = client.ask(daemon.port(), sequence);
    EXPECT_TRUE(reply && checkResponse(reply->data.data(), reply->data.size(), sequence) == ResponseCheck::NoReading);
  }
  const std::string log = daemon.log();
  for (const char* once : {"feeds a channel yet", "has no reading"}) {
    EXPECT_TRUE(log.find(once) != std::string::npos && log.find(once) == log.rfind(once)) << log;
  }

  // A Super-I/O chip's module loads: within two cadences its channels have values, CPU
  // from its CPUTIN label; the channels it does not feed are all NUL.
  intel.plug("hwmon3", "hwmon0");
  const std::string superIo = fields({"35.5", "", "32.0", "1.020", "", "3.296", "0", "845", "1203"});
  EXPECT_EQ(awaitFields(client, daemon.port(), 2 * cadenceMs, superIo), superIo);

  // coretemp loads later still: the automatic mapping is redone, and CPU moves to the
  // package sensor a start with both chips would have given it.
  intel.plug("hwmon2", "hwmon1");
  const std::string both = fields({"45.0", "", "32.0", "1.020", "", "3.296", "0", "845", "1203"});
  EXPECT_EQ(awaitFields(client, daemon.port(), 2 * cadenceMs, both), both);
}

TEST(HwmonDaemon, SensorFilesThatWouldBlockOrHaveGoneGiveEmptyChannels) {
  // FIFOs in place of coretemp's package value and nct6798's SYSTIN label: neither --list
  // nor the scan nor the sampler waits on them; that value is empty, the rest is read.
  FakeSysfs intel("intel");
  intel.makeFifo("hwmon2", "temp1_input");
  intel.makeFifo("hwmon3", "temp1_label");
  const auto list = DaemonProcess::run({"--list", "--sysfs-root", intel.root()}, 2000);
  EXPECT_NE(list.out.find("cpu   = coretemp temp1           ; automatic: not a regular file"), std::string::npos)
      << list.out << list.err;
  const int cadenceMs = 200;
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", intel.root(), "--cadence", std::to_string(cadenceMs)});
  ASSERT_EQ(daemon.start(), "");
  UdpPeer client;
  const std::string withFifo = fields({"", "51.0", "32.0", "1.020", "", "3.296", "0", "845", "1203"});
  EXPECT_EQ(awaitFields(client, daemon.port(), 2 * cadenceMs, withFifo), withFifo);

  // Value files held open, one removed and one renamed over: the removed one's channel is
  // empty, not its last value, and the new file is read instead of the old one.
  intel.remove("hwmon3", "fan2_input");
  intel.replace("hwmon3", "fan3_input", "1500");
  const std::string changed = fields({"", "51.0", "32.0", "1.020", "", "3.296", "0", "", "1500"});
  EXPECT_EQ(awaitFields(client, daemon.port(), 2 * cadenceMs, changed), changed);

  // SIGTERM ends it well within a second.
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(daemon.stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
}

TEST(HwmonDaemon, SighupAppliesTheConfigurationAgain) {
  FakeSysfs intel("intel");
  const std::uint16_t port = freePort();
  const std::string head = "[qrvld]\nlisten = 127.0.0.1\nport = " + std::to_string(port) + "\n";
  const std::string config = writeFile(intel.top() + "/qrvld.conf", head + "allow = 127.0.0.2\ncadence = 200\n");
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", intel.root(), "--config", config}, port);
  daemon.portFromConfig();
  ASSERT_EQ(daemon.start(), "");
  // Rewrites the file and sends SIGHUP; true once the log says `logged`.
  auto reload = [&](const std::string& text, const std::string& logged) {
    writeFile(intel.top() + "/qrvld.conf", text);
    daemon.signal(SIGHUP);
    return daemon.waitForLog(logged, 2000);
  };
  UdpPeer client;
  const std::string cpu = fields({"45.0"});
  const std::string noCpu = fields({""});

  // The allow-list: 127.0.0.1 gets no answer until the file allows it; one line says what
  // now applies.
  EXPECT_FALSE(client.ask(port, 1, 200));
  const std::string applied =
      ": allow 127.0.0.1/32; rate 20/10 per second, loopback exempt; cadence 200 ms; [map] applied";
  ASSERT_TRUE(reload(head + "allow = 127.0.0.1\ncadence = 200\n", "reloaded " + config + applied)) << daemon.log();
  EXPECT_EQ(awaitFields(client, port, 1000, cpu), cpu);

  // The [map]: a channel set to none is empty within a cadence.
  ASSERT_TRUE(reload(head + "allow = 127.0.0.1\ncadence = 200\n[map]\ncpu = none\n", "hwmon mapping: cpu=-,"));
  EXPECT_EQ(awaitFields(client, port, 400, noCpu), noCpu);

  // The cadence: from the reload on, the samples are 700 ms apart. Four sample times, as
  // the first two may still be of the old cadence.
  ASSERT_TRUE(reload(head + "allow = 127.0.0.1\ncadence = 700\n[map]\ncpu = none\n", "cadence 700 ms;"));
  std::vector<std::uint64_t> times;
  waitUntil(4000, [&] {
    const std::uint64_t time = sampleTimeOf(client, port);
    if (time != 0 && (times.empty() || time != times.back())) times.push_back(time);
    return times.size() == 4;
  });
  ASSERT_EQ(times.size(), 4u);
  EXPECT_GE(times[3] - times[2], 550u);
  EXPECT_LT(times[3] - times[2], 1000u);

  // A file with an error, then none at all: each is logged with its reason and nothing of
  // it applies, not even the allow line before the one at fault.
  ASSERT_TRUE(reload(head + "allow = 127.0.0.2\ncadence = 5\n", config + ":5: bad cadence \"5\"")) << daemon.log();
  EXPECT_EQ(awaitFields(client, port, 1000, noCpu), noCpu);
  std::remove(config.c_str());
  daemon.signal(SIGHUP);
  EXPECT_TRUE(daemon.waitForLog("cannot open configuration file " + config, 2000)) << daemon.log();
  EXPECT_EQ(awaitFields(client, port, 1000, noCpu), noCpu);

  // A new port waits for the next start: the old one goes on answering, and a channel no
  // longer in [map] is chosen automatically again.
  const std::uint16_t other = freePort();
  ASSERT_TRUE(reload("[qrvld]\nlisten = 127.0.0.1\nport = " + std::to_string(other) + "\nallow = 127.0.0.1\n",
                     "port changes at the next start"));
  EXPECT_EQ(awaitFields(client, port, 2000, cpu), cpu);
  EXPECT_FALSE(client.ask(other, 2, 200));
  EXPECT_EQ(daemon.stop(), 0);
}
