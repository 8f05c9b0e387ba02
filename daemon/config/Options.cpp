#include "config/Options.h"

#include <getopt.h>

#include <charconv>
#include <utility>

#include "config/IniFile.h"
#include "source/SourceFactory.h"

namespace qrvld {

namespace {
// Every setting has one name, used both as a long option and as a key of the [qrvld]
// section of the configuration file; metrics-web-config has the exporters' option name
// --web.config.file besides.
const char* const kSection = "qrvld";
// Where each channel's value comes from; the command line has no counterpart.
const char* const kMapSection = "map";

struct Setting {
  std::string name;
  std::string value;
};

// A whole decimal number in [low, high]; from_chars ignores the locale.
bool parseNumber(const std::string& text, unsigned low, unsigned high, unsigned& out) {
  unsigned value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto result = std::from_chars(first, last, value);
  if (first == last || result.ec != std::errc() || result.ptr != last || value < low || value > high) {
    return false;
  }
  out = value;
  return true;
}

// "ADDR:PORT", with an IPv6 address in brackets: "[::1]:9183".
bool parseEndpoint(const std::string& text, IpAddress& address, std::uint16_t& port) {
  const auto colon = text.rfind(':');
  unsigned number = 0;
  if (colon == std::string::npos || !parseNumber(text.substr(colon + 1), 1, 65535, number)) return false;
  const std::string host = text.substr(0, colon);
  const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
  if (!IpAddress::parse(host, address) || bracketed == address.isV4()) return false;
  port = static_cast<std::uint16_t>(number);
  return true;
}

// Lists may be given as repeated settings or as one value separated by blanks or commas.
std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::string item;
  for (char c : text + ' ') {
    if (c == ' ' || c == '\t' || c == ',') {
      if (!item.empty()) items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  return items;
}

// Applies settings in order; `replaced` tracks the lists this layer has started anew, so
// a layer's list replaces the one beneath it instead of adding to it.
class Applier {
 public:
  explicit Applier(Options& options) : options_(options) {}

  void newLayer() {
    listenStarted_ = false;
    allowStarted_ = false;
  }

  bool apply(const Setting& s, std::string& error) {
    const std::string& v = s.value;
    unsigned number = 0;
    if (s.name == "listen") {
      if (!listenStarted_) options_.listen.clear();
      listenStarted_ = true;
      options_.listenDefault = false;
      for (const std::string& item : splitList(v)) {
        IpAddress address;
        if (!IpAddress::parse(item, address)) return bad(s, "an IPv4 or IPv6 address", error);
        options_.listen.push_back(address);
      }
      return !options_.listen.empty() || bad(s, "an IPv4 or IPv6 address", error);
    }
    if (s.name == "allow") {
      if (!allowStarted_) options_.allow = AllowList();
      allowStarted_ = true;
      for (const std::string& item : splitList(v)) {
        if (!options_.allow.add(item, error)) return false;
      }
      return !options_.allow.empty() || bad(s, "an address or a CIDR range", error);
    }
    if (s.name == "port") {
      if (!parseNumber(v, 1, 65535, number)) return bad(s, "a port from 1 to 65535", error);
      options_.port = static_cast<std::uint16_t>(number);
      return true;
    }
    if (s.name == "rate") {
      const auto slash = v.find('/');
      unsigned burst = 0;
      unsigned perSecond = 0;
      if (slash == std::string::npos || !parseNumber(v.substr(0, slash), 1, 1000000, burst) ||
          !parseNumber(v.substr(slash + 1), 0, 1000000, perSecond)) {
        return bad(s, "BURST/PERSECOND, e.g. 20/10", error);
      }
      options_.burst = burst;
      options_.perSecond = perSecond;
      return true;
    }
    if (s.name == "exempt-loopback") {
      if (v == "yes" || v == "true" || v == "1") {
        options_.exemptLoopback = true;
      } else if (v == "no" || v == "false" || v == "0") {
        options_.exemptLoopback = false;
      } else {
        return bad(s, "yes or no", error);
      }
      return true;
    }
    if (s.name == "source") {
      if (!isSourceName(v)) return bad(s, "hwmon or sim", error);
      options_.source = v;
      return true;
    }
    if (s.name == "sysfs-root") {
      if (v.empty()) return bad(s, "a directory", error);
      options_.sysfsRoot = v;
      return true;
    }
    if (s.name == "metrics") {
      if (!parseEndpoint(v, options_.metricsAddress, options_.metricsPort)) {
        return bad(s, "ADDR:PORT, e.g. 127.0.0.1:9183 or [::1]:9183", error);
      }
      options_.metrics = true;
      return true;
    }
    if (s.name == "metrics-web-config") {
      if (v.empty()) return bad(s, "a file", error);
      options_.web.path = v;
      return true;
    }
    if (s.name == "cadence") {
      if (!parseNumber(v, 10, 3600000, number)) return bad(s, "milliseconds from 10 to 3600000", error);
      options_.cadenceMs = number;
      return true;
    }
    error = "unknown setting \"" + s.name + "\"";
    return false;
  }

 private:
  static bool bad(const Setting& s, const char* expected, std::string& error) {
    error = "bad " + s.name + " \"" + s.value + "\": expected " + expected;
    return false;
  }

  Options& options_;
  bool listenStarted_ = false;
  bool allowStarted_ = false;
};

bool loadFile(const std::string& path, Applier& applier, Options& options, std::string& error) {
  return readIniFile(
      path,
      [&](const std::string& section, const std::string& name, const std::string& value, std::string& why) {
        if (section == kMapSection) return options.map.set(name, value, why);
        if (section != kSection) {
          why = "setting \"" + name + "\" outside the [qrvld] and [map] sections";
          return false;
        }
        return applier.apply(Setting{name, value}, why);
      },
      error);
}
}  // namespace

const char* usageText() {
  return "usage: qrvld [OPTION]...\n"
         "Sensor host daemon: answers sensor reading requests over UDP.\n"
         "\n"
         "  --config FILE           read settings from the [qrvld] section of an INI file;\n"
         "                          options given here override them\n"
         "  --listen ADDR           listen on this IPv4 or IPv6 address (repeatable;\n"
         "                          default 127.0.0.1 and ::1)\n"
         "  --port N                UDP port (default 27183)\n"
         "  --allow ADDR|CIDR       answer only these sources (repeatable; default\n"
         "                          loopback only: 127.0.0.0/8 and ::1)\n"
         "  --rate BURST/PERSEC     answers per source address (default 20/10)\n"
         "  --exempt-loopback yes|no  loopback sources bypass the rate limit (default yes)\n"
         "  --source hwmon|sim      where readings come from (default hwmon): hwmon is\n"
         "                          the kernel's hardware-monitor chips, answered with\n"
         "                          no reading while the sysfs root has none that feeds\n"
         "                          a channel; sim is a simulated chip with made-up\n"
         "                          values, for tests and demonstrations, not real sensors\n"
         "  --cadence MS            sampling interval in milliseconds (default 1000)\n"
         "  --sysfs-root DIR        where the hwmon chips are (default /sys/class/hwmon)\n"
         "  --metrics ADDR:PORT     serve Prometheus metrics at http://ADDR:PORT/metrics\n"
         "                          (IPv6 as [::1]:9183) to the clients --allow admits;\n"
         "                          off unless given\n"
         "  --metrics-web-config FILE, --web.config.file FILE\n"
         "                          serve the metrics with TLS and passwords as this\n"
         "                          web configuration file of the Prometheus exporters says\n"
         "  --list                  print every hwmon chip and sensor with its value, its\n"
         "                          limits and the channel it feeds, and the mapping as a\n"
         "                          [map] section, then exit\n"
         "  -h, --help              show this text\n"
         "  -V, --version           show the version\n"
         "\n"
         "The same names are keys in the configuration file, e.g.\n"
         "  [qrvld]\n"
         "  listen = 127.0.0.1 ::1\n"
         "  allow = 127.0.0.0/8 ::1 192.168.1.0/24\n"
         "A [map] section chooses each channel's sensor (cpu, pwr, sys, vcore, vtt, vio,\n"
         "fan1, fan2, fan3): CHIP[@DEVICE] ATTRIBUTE [* MULTIPLIER] [+|- OFFSET], or none;\n"
         "  [map]\n"
         "  cpu = k10temp temp1\n"
         "  vio = nct6798 in3 * 2\n"
         "Channels not in it are chosen automatically (see --list).\n"
         "Logs go to stderr, with syslog priority prefixes when it is the journal's stream.\n"
         "SIGHUP reads the configuration file again; SIGUSR1 logs the request counters;\n"
         "SIGTERM and SIGINT stop the daemon. See qrvld(8) and qrvld.conf(5).\n";
}

std::string runningSettings(const Options& options) {
  return "allow " + options.allow.text() + "; rate " + std::to_string(options.burst) + "/" +
         std::to_string(options.perSecond) + " per second" + (options.exemptLoopback ? ", loopback exempt" : "") +
         "; cadence " + std::to_string(options.cadenceMs) + " ms" +
         (options.metrics ? "; metrics " + options.web.summary() : "");
}

ParseResult parseOptions(int argc, char** argv, Options& options, std::string& error) {
  enum { kHelp = 'h', kVersion = 'V', kConfig = 256, kSetting, kList, kWebConfig };
  static const option kLong[] = {
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {"config", required_argument, nullptr, kConfig},
      {"listen", required_argument, nullptr, kSetting},
      {"port", required_argument, nullptr, kSetting},
      {"allow", required_argument, nullptr, kSetting},
      {"rate", required_argument, nullptr, kSetting},
      {"exempt-loopback", required_argument, nullptr, kSetting},
      {"source", required_argument, nullptr, kSetting},
      {"cadence", required_argument, nullptr, kSetting},
      {"sysfs-root", required_argument, nullptr, kSetting},
      {"metrics", required_argument, nullptr, kSetting},
      {"metrics-web-config", required_argument, nullptr, kSetting},
      {"web.config.file", required_argument, nullptr, kWebConfig},
      {"list", no_argument, nullptr, kList},
      {nullptr, 0, nullptr, 0},
  };
  std::vector<Setting> settings;
  bool list = false;
  optind = 1;
  opterr = 0;
  for (;;) {
    int index = -1;
    // The leading ':' makes a missing value come back as ':' rather than '?'.
    const int c = getopt_long(argc, argv, ":hV", kLong, &index);
    if (c == -1) break;
    switch (c) {
      case kHelp: return ParseResult::Help;
      case kVersion: return ParseResult::Version;
      case kConfig: options.config = optarg; break;
      case kList: list = true; break;
      case kSetting: settings.push_back({kLong[index].name, optarg}); break;
      case kWebConfig: settings.push_back({"metrics-web-config", optarg}); break;
      case ':':
        error = std::string("option ") + argv[optind - 1] + " needs a value";
        return ParseResult::Error;
      default:
        error = std::string("unknown option ") + argv[optind - 1];
        return ParseResult::Error;
    }
  }
  if (optind < argc) {
    error = std::string("unexpected argument ") + argv[optind];
    return ParseResult::Error;
  }
  Applier applier(options);
  if (!options.config.empty() && !loadFile(options.config, applier, options, error)) return ParseResult::Error;
  applier.newLayer();
  for (const Setting& s : settings) {
    if (!applier.apply(s, error)) return ParseResult::Error;
  }
  if (!options.web.path.empty() && !readWebConfig(options.web.path, options.web, error)) return ParseResult::Error;
  if (options.listenDefault) {
    IpAddress v4;
    IpAddress v6;
    IpAddress::parse("127.0.0.1", v4);
    IpAddress::parse("::1", v6);
    options.listen = {v4, v6};
  }
  return list ? ParseResult::List : ParseResult::Run;
}

}  // namespace qrvld
