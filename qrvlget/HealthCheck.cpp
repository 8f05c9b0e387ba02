#include "HealthCheck.h"

#include <charconv>
#include <cmath>

namespace {
using qrvl::record::Channel;
using qrvl::record::kChannelCount;

const char* const kStatusWords[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The name a channel has in thresholds and perfdata: cpu, pwr, ..., fan3.
std::string nameOf(int channel) { return qrvl::channelKey(channel); }

// For people reading the line; perfdata carries numbers alone.
std::string unitOf(int channel) { return std::string(" ") + qrvl::quantityFacts(channel).unitAscii; }

// A channel's text as a number, when all of it is one.
bool valueOf(const std::string& text, double& value) {
  const char* last = text.data() + text.size();
  const auto result = std::from_chars(text.data(), last, value, std::chars_format::fixed);
  return !text.empty() && result.ec == std::errc() && result.ptr == last && std::isfinite(value);
}

// The text before the performance data: a '|' there, from a server's text or an
// argument, would start the performance data early for every plugin parser.
std::string withoutBar(std::string text) {
  for (char& c : text) {
    if (c == '|') c = '?';
  }
  return text;
}

// Worse first: a critical value outweighs a reading the check cannot judge, which
// outweighs a warning.
int severity(HealthCheck::Status status) {
  static const int order[] = {0, 1, 3, 2};
  return order[status];
}
}  // namespace

bool HealthCheck::addThresholds(const std::string& list, bool critical, std::string& why) {
  std::size_t at = 0;
  do {
    const std::size_t comma = list.find(',', at);
    const std::string item = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    at = comma == std::string::npos ? list.size() + 1 : comma + 1;
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      why = "\"" + item + "\" names no channel: write CHANNEL=RANGE, as cpu=80";
      return false;
    }
    const std::string name = lowerCase(item.substr(0, equals));
    int channel = 0;
    while (channel < kChannelCount && nameOf(channel) != name) ++channel;
    if (channel == kChannelCount) {
      why = "no channel \"" + item.substr(0, equals) + "\" (cpu pwr sys vcore vtt vio fan1 fan2 fan3)";
      return false;
    }
    Limits& limits = limits_[channel];
    if (!(critical ? limits.critical : limits.warning).parse(item.substr(equals + 1), why)) return false;
    (critical ? limits.hasCritical : limits.hasWarning) = true;
  } while (at <= list.size());
  return true;
}

HealthCheck::Result HealthCheck::judge(const std::vector<std::string>& texts) const {
  Status status = OK;
  std::string problems, perfdata;
  auto report = [&](Status found, const std::string& what) {
    if (severity(found) > severity(status)) status = found;
    problems += (problems.empty() ? "" : ", ") + what;
  };
  for (int c = 0; c < kChannelCount; ++c) {
    const Limits& limits = limits_[c];
    const std::string& text = texts[static_cast<std::size_t>(c)];
    const bool watched = limits.hasWarning || limits.hasCritical;
    double value = 0;
    if (!valueOf(text, value)) {
      if (!watched) continue;
      report(UNKNOWN, text.empty() ? nameOf(c) + " has no value" : nameOf(c) + " sent \"" + text + "\", no number");
      continue;
    }
    perfdata += " '" + nameOf(c) + "'=" + text;
    if (watched) {
      perfdata += ";" + (limits.hasWarning ? limits.warning.text() : "");
      if (limits.hasCritical) perfdata += ";" + limits.critical.text();
    }
    if (limits.hasCritical && limits.critical.alerts(value)) {
      report(CRITICAL, nameOf(c) + " " + text + unitOf(c) + " (critical " + limits.critical.text() + ")");
    } else if (limits.hasWarning && limits.warning.alerts(value)) {
      report(WARNING, nameOf(c) + " " + text + unitOf(c) + " (warning " + limits.warning.text() + ")");
    }
  }
  if (problems.empty()) problems = "all channels fine";
  std::string line = std::string("QRVL ") + kStatusWords[status] + " - " + withoutBar(problems);
  if (!perfdata.empty()) line += " |" + perfdata;
  return {status, line + "\n"};
}

HealthCheck::Result HealthCheck::unknown(const std::string& why) { return {UNKNOWN, "QRVL UNKNOWN - " + withoutBar(why) + "\n"}; }
