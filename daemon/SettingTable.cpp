#include "SettingTable.h"

#include <charconv>

#include "source/SourceFactory.h"

namespace qrvld {

namespace {
using Kind = Setting::Kind;
using Change = Setting::Change;

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

// The reload's side of a setting: the Options fields it sets.
template <auto... fields>
void take(Options& now, const Options& fresh) {
  ((now.*fields = fresh.*fields), ...);
}
template <auto... fields>
bool differs(const Options& now, const Options& fresh) {
  return !((now.*fields == fresh.*fields) && ...);
}

// bool apply(Options& options, const std::string& value, bool again, std::string& error)
bool applyListen(Options& o, const std::string& v, bool again, std::string&) {
  if (!again) o.listen.clear();
  o.listenDefault = false;
  for (const std::string& item : splitList(v)) {
    IpAddress address;
    if (!IpAddress::parse(item, address)) return false;
    o.listen.push_back(address);
  }
  return !o.listen.empty();
}

bool applyPort(Options& o, const std::string& v, bool, std::string&) {
  unsigned number = 0;
  if (!parseNumber(v, 1, 65535, number)) return false;
  o.port = static_cast<std::uint16_t>(number);
  return true;
}

bool applyAllow(Options& o, const std::string& v, bool again, std::string& error) {
  if (!again) o.allow = AllowList();
  for (const std::string& item : splitList(v)) {
    if (!o.allow.add(item, error)) return false;
  }
  return !o.allow.empty();
}

bool applyRate(Options& o, const std::string& v, bool, std::string&) {
  const auto slash = v.find('/');
  unsigned burst = 0;
  unsigned perSecond = 0;
  if (slash == std::string::npos || !parseNumber(v.substr(0, slash), 1, 1000000, burst) ||
      !parseNumber(v.substr(slash + 1), 0, 1000000, perSecond)) {
    return false;
  }
  o.burst = burst;
  o.perSecond = perSecond;
  return true;
}

bool applyExemptLoopback(Options& o, const std::string& v, bool, std::string&) {
  const bool yes = v == "yes" || v == "true" || v == "1";
  if (!yes && v != "no" && v != "false" && v != "0") return false;
  o.exemptLoopback = yes;
  return true;
}

bool applySource(Options& o, const std::string& v, bool, std::string&) {
  if (!isSourceName(v)) return false;
  o.source = v;
  return true;
}

bool applyCadence(Options& o, const std::string& v, bool, std::string&) {
  return parseNumber(v, 10, 3600000, o.cadenceMs);
}

bool applySysfsRoot(Options& o, const std::string& v, bool, std::string&) {
  o.sysfsRoot = v;
  return !v.empty();
}

bool applyMetrics(Options& o, const std::string& v, bool, std::string&) {
  o.metrics = parseEndpoint(v, o.metricsAddress, o.metricsPort);
  return o.metrics;
}

bool applyWebConfig(Options& o, const std::string& v, bool, std::string&) {
  o.webConfig = v;
  return !v.empty();
}

// {name, short, alias, argument, help, kind, change, expected, apply, take, differs}
const std::vector<Setting> kTable = {
    {"config", 0, nullptr, "FILE",
     "read settings from the [qrvld] section of an INI file;\n"
     "options given here override them",
     Kind::Config, Change::Never, nullptr, nullptr, nullptr, nullptr},
    {"listen", 0, nullptr, "ADDR",
     "listen on this IPv4 or IPv6 address (repeatable;\n"
     "default 127.0.0.1 and ::1)",
     Kind::Value, Change::AtRestart, "an IPv4 or IPv6 address", applyListen, nullptr, differs<&Options::listen>},
    {"port", 0, nullptr, "N", "UDP port (default 27183)", Kind::Value, Change::AtRestart, "a port from 1 to 65535",
     applyPort, nullptr, differs<&Options::port>},
    {"allow", 0, nullptr, "ADDR|CIDR",
     "answer only these sources (repeatable; default\n"
     "loopback only: 127.0.0.0/8 and ::1)",
     Kind::Value, Change::AtOnce, "an address or a CIDR range", applyAllow, take<&Options::allow>, nullptr},
    {"rate", 0, nullptr, "BURST/PERSEC", "answers per source address (default 20/10)", Kind::Value, Change::AtOnce,
     "BURST/PERSECOND, e.g. 20/10", applyRate, take<&Options::burst, &Options::perSecond>, nullptr},
    {"exempt-loopback", 0, nullptr, "yes|no", "loopback sources bypass the rate limit (default yes)", Kind::Value,
     Change::AtOnce, "yes or no", applyExemptLoopback, take<&Options::exemptLoopback>, nullptr},
    {"source", 0, nullptr, "hwmon|sim",
     "where readings come from (default hwmon): hwmon is\n"
     "the kernel's hardware-monitor chips, answered with\n"
     "no reading while the sysfs root has none that feeds\n"
     "a channel; sim is a simulated chip with made-up\n"
     "values, for tests and demonstrations, not real sensors",
     Kind::Value, Change::AtRestart, "hwmon or sim", applySource, nullptr, differs<&Options::source>},
    {"cadence", 0, nullptr, "MS", "sampling interval in milliseconds (default 1000)", Kind::Value, Change::AtOnce,
     "milliseconds from 10 to 3600000", applyCadence, take<&Options::cadenceMs>, nullptr},
    {"sysfs-root", 0, nullptr, "DIR", "where the hwmon chips are (default /sys/class/hwmon)", Kind::Value,
     Change::AtRestart, "a directory", applySysfsRoot, nullptr, differs<&Options::sysfsRoot>},
    {"metrics", 0, nullptr, "ADDR:PORT",
     "serve Prometheus metrics at http://ADDR:PORT/metrics\n"
     "(IPv6 as [::1]:9183) to the clients --allow admits;\n"
     "off unless given",
     Kind::Value, Change::AtRestart, "ADDR:PORT, e.g. 127.0.0.1:9183 or [::1]:9183", applyMetrics, nullptr,
     differs<&Options::metrics, &Options::metricsAddress, &Options::metricsPort>},
    {"metrics-web-config", 0, "web.config.file", "FILE",
     "serve the metrics with TLS and passwords as this\n"
     "web configuration file of the Prometheus exporters says",
     Kind::Value, Change::AtOnce, "a file", applyWebConfig, take<&Options::webConfig>, nullptr},
    {"list", 0, nullptr, nullptr,
     "print every hwmon chip and sensor with its value, its\n"
     "limits and the channel it feeds, and the mapping as a\n"
     "[map] section, then exit",
     Kind::List, Change::Never, nullptr, nullptr, nullptr, nullptr},
    {"help", 'h', nullptr, nullptr, "show this text", Kind::Help, Change::Never, nullptr, nullptr, nullptr, nullptr},
    {"version", 'V', nullptr, nullptr, "show the version", Kind::Version, Change::Never, nullptr, nullptr, nullptr,
     nullptr},
};
}  // namespace

const std::vector<Setting>& settingTable() { return kTable; }

}  // namespace qrvld
