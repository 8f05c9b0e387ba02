// SIGHUP against a real qrvld, for every setting of the daemon's setting table.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <map>
#include <string>

#include "DaemonProcess.h"
#include "SettingTable.h"
#include "TempFiles.h"
#include "UdpPeer.h"

using namespace qrvltest;
using qrvld::Setting;

TEST(Reload, EverySettingOfTheTableAppliesAtOnceOrIsLoggedAsWaitingForTheNextStart) {
  // For every setting a reload looks at, a value to start with and another; for those that
  // apply at once, what the reload's line then shows. The metrics serve plain HTTP until
  // the web configuration names a user.
  struct Change {
    std::string before, after, shown;
  };
  const std::uint16_t port = freePort();
  const std::string web = tempFileWith(
      "basic_auth_users:\n  alice: $2y$04$8RFOEqTbqfcGno3haICHYOXfHxKSxnnrzFl2IxMFxVHSL58FNGEqK\n", "qrvld-web");
  const std::map<std::string, Change> changes = {
      {"listen", {"127.0.0.1", "127.0.0.1 ::1", ""}},
      {"port", {std::to_string(port), std::to_string(freePort()), ""}},
      {"allow", {"127.0.0.1", "127.0.0.9", "allow 127.0.0.9/32;"}},
      {"rate", {"20/10", "7/3", "; rate 7/3 per second,"}},
      {"exempt-loopback", {"yes", "no", " per second; cadence"}},
      {"source", {"sim", "hwmon", ""}},
      {"cadence", {"1000", "300", "; cadence 300 ms;"}},
      {"sysfs-root", {"/sys/class/hwmon", "/nonexistent", ""}},
      {"metrics", {"127.0.0.1:" + std::to_string(freePort()), "127.0.0.1:" + std::to_string(freePort()), ""}},
      {"metrics-web-config", {"", web, "; metrics http, 1 user;"}},
  };
  // The file with `changed` at its second value; the cadence of round N, 1000 + N unless
  // it is the one changed, tells each reload's line from the others.
  auto file = [&](const std::string& changed, int round) {
    std::string text = "[qrvld]\n";
    for (const auto& [name, change] : changes) {
      std::string value = name == changed ? change.after : change.before;
      if (name == "cadence" && name != changed) value = std::to_string(1000 + round);
      if (!value.empty()) text += name + " = " + value + "\n";
    }
    return text;
  };
  const std::string config = tempFileWith(file("", 0));
  DaemonProcess daemon({"--config", config}, port);
  daemon.portFromConfig();
  daemon.sourceFromConfig();
  ASSERT_EQ(daemon.start(), "");

  // One setting changed per reload, the others back at their first values: one that
  // applies at once shows in the reload's line and nothing waits; one that waits for the
  // next start says so in a line of its own.
  int round = 0;
  for (const Setting& setting : qrvld::settingTable()) {
    if (setting.change == Setting::Change::Never) continue;
    SCOPED_TRACE(setting.name);
    const auto change = changes.find(setting.name);
    ASSERT_NE(change, changes.end()) << "no values to reload " << setting.name << " with";
    const bool atOnce = !change->second.shown.empty();
    EXPECT_EQ(setting.change == Setting::Change::AtOnce, atOnce);
    ++round;
    const std::size_t from = daemon.log().size();
    writeFile(config, file(setting.name, round));
    daemon.signal(SIGHUP);
    const std::string cadence = std::string(setting.name) == "cadence"
                                    ? change->second.shown
                                    : "; cadence " + std::to_string(1000 + round) + " ms;";
    ASSERT_TRUE(daemon.waitForLog(cadence, 2000)) << daemon.log();
    const std::string logged = daemon.log().substr(from);
    if (atOnce) {
      EXPECT_NE(logged.find(change->second.shown), std::string::npos) << logged;
      EXPECT_EQ(logged.find("changes at the next start"), std::string::npos) << logged;
    } else {
      EXPECT_NE(logged.find(std::string(setting.name) + " changes at the next start"), std::string::npos) << logged;
    }
  }
  EXPECT_EQ(static_cast<std::size_t>(round), changes.size());
  EXPECT_EQ(daemon.stop(), 0);
  std::remove(config.c_str());
  std::remove(web.c_str());
}

TEST(Reload, TheManualPagesNameEveryOptionAndWhichWaitForTheNextStart) {
  // qrvld(8) describes every option by each of its names, qrvld.conf(5) every key; the
  // latter's list of the settings a reload leaves for the next start is the table's.
  auto roff = [](std::string text) {
    for (std::size_t at = 0; (at = text.find('-', at)) != std::string::npos; at += 2) text.insert(at, "\\");
    return text;
  };
  const std::string daemonPage = readFile(QRVL_MAN "/qrvld.8");
  const std::string filePage = readFile(QRVL_MAN "/qrvld.conf.5");
  const auto waiting = filePage.find("take effect at the next start", filePage.find(".SH RELOADING"));
  ASSERT_NE(waiting, std::string::npos);
  const auto listed = filePage.rfind("win over the file.", waiting);
  const std::string restartList = filePage.substr(listed, waiting - listed);
  for (const Setting& setting : qrvld::settingTable()) {
    SCOPED_TRACE(setting.name);
    for (const char* name : {setting.name, setting.alias}) {
      if (name != nullptr) EXPECT_NE(daemonPage.find("\\-\\-" + roff(name)), std::string::npos);
    }
    if (setting.kind != Setting::Kind::Value) continue;
    const std::string key = " " + roff(setting.name);
    EXPECT_NE(filePage.find(".B" + key + "\n"), std::string::npos);
    EXPECT_EQ(restartList.find(key) != std::string::npos, setting.change == Setting::Change::AtRestart) << restartList;
  }
}
