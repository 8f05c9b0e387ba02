// qrvlget: one reading from a sensor host, printed as "name: value unit" lines or as JSON;
// with --check, judged against thresholds as a monitoring system's plugin; or, with --list,
// every sensor of a LibreHardwareMonitor web server and the channel it feeds.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "HealthCheck.h"
#include "QRVLPLUG.h"
#include "qrvl/Channels.h"
#include "qrvl/HostText.h"
#include "qrvl/PrintableText.h"
#include "qrvl/Record.h"
#include "qrvl/WebSensorList.h"

namespace {
const char kUsage[] =
    "usage: qrvlget [--timeout MS] [--json] HOST[:PORT] | qrvlget [--timeout MS] --list http://HOST[:PORT] | "
    "qrvlget [--timeout MS] --check [-w CHANNEL=RANGE]... [-c CHANNEL=RANGE]... HOST[:PORT]";

using qrvl::record::Channel;
using qrvl::record::kChannelCount;

// A field's text as sent, cut at its NUL; anything but printable ASCII shows as '?'.
std::string fieldText(const char* field) {
  std::string text(field, strnlen(field, qrvl::record::kFieldSize));
  for (char& c : text) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return text;
}

// Whether the text is a number as JSON writes one, so it can stand in the output as it is.
bool isJsonNumber(const std::string& text) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > start;
  };
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '0') {
    ++i;
  } else if (!digits()) {
    return false;
  }
  if (i < text.size() && text[i] == '.' && (++i, !digits())) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == text.size();
}

// A channel's value in JSON: a number, null without one, or the text of a host that sent
// something else.
std::string jsonValue(const std::string& text) {
  if (text.empty()) return "null";
  if (isJsonNumber(text)) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string timeText(std::uint64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  const std::tm* utc = std::gmtime(&seconds);
  char text[64] = "?";
  if (utc != nullptr) {
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", utc);
    std::snprintf(text + n, sizeof text - n, ".%03uZ", static_cast<unsigned>(ms % 1000));
  }
  return text;
}

// Every sensor of the web server with its id, type, value and the channels it feeds, then
// the query that pins today's choice, as qrvld --list shows a [map] section.
int listWebServer(const char* url, unsigned timeout) {
  namespace web = qrvl::web;
  web::SensorList list;
  std::string why;
  const web::ListResult listed = web::listSensors(url, timeout, list, why);
  if (listed == web::ListResult::BadAddress) {
    std::fprintf(stderr, "qrvlget: bad address \"%s\": %s\n",
                 qrvl::printable(qrvl::withoutPassword(url)).c_str(), why.c_str());
    return 2;
  }
  if (listed != web::ListResult::Listed) {
    std::fprintf(stderr, "qrvlget: %s\n", qrvl::printable(why).c_str());
    return 1;
  }
  std::printf("%-40s %-12s %-14s %s\n", "SensorId", "Type", "Value", "Channel");
  for (const web::ListedSensor& s : list.sensors) {
    std::string channels;
    for (const web::ChannelFeed& feed : s.feeds) {
      if (!channels.empty()) channels += ",";
      channels += qrvl::channelFacts(feed.channel).name;
      if (!feed.hasValue) channels += " (no value)";
    }
    // The server's texts reach the terminal escaped.
    const std::string id = qrvl::printable(s.id);
    const std::string type = s.type.empty() ? "-" : qrvl::printable(s.type);
    std::string value = s.value.empty() ? "-" : qrvl::printable(s.value);
    // Padded by characters, not bytes: "°C" is two bytes of UTF-8.
    std::size_t width = 0;
    for (unsigned char c : value) width += (c & 0xC0) != 0x80;
    if (width < 14) value.append(14 - width, ' ');
    std::printf("%-40s %-12s %s %s\n", id.c_str(), type.c_str(), value.c_str(),
                channels.empty() ? "-" : channels.c_str());
  }
  std::printf("\n# Today's choice, pinned: add this to the address (HostName=http://host:port/?...)\n%s\n",
              list.pinQuery.empty() ? "# (no sensor feeds a channel)" : list.pinQuery.c_str());
  return 0;
}

// A check asked wrongly is UNKNOWN, on standard output where the monitoring system looks.
bool checking = false;

int usage(const char* problem) {
  if (checking) {
    std::fputs(HealthCheck::unknown(std::string(problem) + " (qrvlget --help)").line.c_str(), stdout);
    return HealthCheck::UNKNOWN;
  }
  std::fprintf(stderr, "qrvlget: %s (%s)\n", problem, kUsage);
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  unsigned timeout = 2000;
  bool json = false;
  bool list = false;
  const char* host = nullptr;
  HealthCheck check;
  for (int i = 1; i < argc; ++i) checking = checking || std::strcmp(argv[i], "--check") == 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::printf(
          "%s\nAsks a sensor host (or a LibreHardwareMonitor web server, http://...) for one reading;\n"
          "waits at most MS milliseconds (default 2000).\n"
          "--json prints it as one JSON object: each channel a number, or null without a value.\n"
          "--list prints every sensor of a web server, the channel it feeds, and the query that pins them.\n"
          "--check judges the reading as a monitoring plugin: -w (--warning) and -c (--critical) give a\n"
          "  channel (cpu pwr sys vcore vtt vio fan1 fan2 fan3) a range, alerting outside N (0..N), N: (below N),\n"
          "  ~:N (above N), N:M, or inside @N:M; several as cpu=80,vcore=0.8:1.45 or options again. It prints\n"
          "  \"QRVL OK|WARNING|CRITICAL|UNKNOWN - ... | 'cpu'=45.5;80;90 ...\" and exits 0, 1, 2 or 3.\n",
          kUsage);
      return 0;
    }
    if (arg == "--version") {
      std::puts("qrvlget " QRVL_VERSION);
      return 0;
    }
    if (arg == "--json") {
      json = true;
      continue;
    }
    if (arg == "--list") {
      list = true;
      continue;
    }
    if (arg == "--check") continue;
    if (arg == "-w" || arg == "--warning" || arg == "-c" || arg == "--critical") {
      if (!checking) return usage((arg + " belongs to --check").c_str());
      if (++i == argc) return usage((arg + " needs CHANNEL=RANGE").c_str());
      std::string why;
      if (!check.addThresholds(argv[i], arg == "-c" || arg == "--critical", why)) return usage(why.c_str());
      continue;
    }
    if (arg == "--timeout") {
      if (++i == argc) return usage("--timeout needs a value");
      const char* first = argv[i];
      const char* last = first + std::strlen(first);
      const auto result = std::from_chars(first, last, timeout);
      if (first == last || result.ec != std::errc() || result.ptr != last) {
        return usage("--timeout takes milliseconds from 0 to 4294967295");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage(("unknown option " + arg).c_str());
    } else if (host != nullptr) {
      return usage("more than one host");
    } else {
      host = argv[i];
    }
  }
  if (host == nullptr) return usage("no host");
  if (checking && (json || list)) return usage("--check prints the plugins' line, not --json or --list");
  if (list) {
    if (json) return usage("--list prints a table, not JSON");
    if (!qrvl::isWebAddress(host)) {
      return usage(
          "--list reads a LibreHardwareMonitor web server (http://...); qrvld --list shows a daemon's sensors");
    }
    return listWebServer(host, timeout);
  }

  QRVLPLUG plug;
  LMDATA data{};
  if (!plug.Create(host) || !plug.Get(data, timeout)) {
    if (checking) {
      const std::string why = "no reading from " + qrvl::withoutPassword(host) + ": " + plug.LastFailure();
      std::fputs(HealthCheck::unknown(qrvl::printable(why)).line.c_str(), stdout);
      return HealthCheck::UNKNOWN;
    }
    std::fprintf(stderr, "qrvlget: %s\n", qrvl::printable(plug.LastFailure()).c_str());
    return 1;
  }
  // This machine's web server stood in for qrvld: which source answered.
  if (plug.LastFailure()[0] != '\0') std::fprintf(stderr, "qrvlget: %s\n", plug.LastFailure());
  const char* fields[kChannelCount];
  for (int c = 0; c < kChannelCount; ++c) fields[c] = qrvl::record::field(&data, c);
  if (checking) {
    std::vector<std::string> texts;
    for (const char* field : fields) texts.push_back(fieldText(field));
    const HealthCheck::Result result = check.judge(texts);
    std::fputs(result.line.c_str(), stdout);
    return result.status;
  }
  const std::string time = timeText(qrvl::record::sampleTime(reinterpret_cast<const std::uint8_t*>(&data)));
  std::string out = json ? "{" : "";
  for (int c = 0; c < kChannelCount; ++c) {
    const std::string name = qrvl::channelFacts(c).name;
    const std::string text = fieldText(fields[c]);
    if (json)
      out += "\"" + qrvl::channelKey(c) + "\": " + jsonValue(text) + ", ";
    else
      out += name + ": " + (text.empty() ? "-" : text + " " + qrvl::quantityFacts(c).unitAscii) + "\n";
  }
  out += json ? "\"time\": \"" + time + "\"}\n" : "Time: " + time + "\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}
