// qrvlget: one reading from a sensor host, printed as "name: value unit" lines or as JSON.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "QRVLPLUG.h"
#include "qrvl/Record.h"

namespace {
const char kUsage[] = "usage: qrvlget [--timeout MS] [--json] HOST[:PORT]";

using qrvl::record::Channel;
using qrvl::record::kChannelCount;

// Degrees Celsius for the temperatures, volts, then revolutions per minute.
const char* unitOf(int channel) { return channel < 3 ? "C" : channel < 6 ? "V" : "RPM"; }

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

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
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

int usage(const char* problem) {
  std::fprintf(stderr, "qrvlget: %s (%s)\n", problem, kUsage);
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  unsigned timeout = 2000;
  bool json = false;
  const char* host = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::printf("%s\nAsks a sensor host for one reading; waits at most MS milliseconds (default 2000).\n"
                  "--json prints it as one JSON object: each channel a number, or null without a value.\n",
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

  QRVLPLUG plug;
  LMDATA data{};
  if (!plug.Create(host) || !plug.Get(data, timeout)) {
    std::fprintf(stderr, "qrvlget: %s\n", plug.LastFailure());
    return 1;
  }
  const char* fields[kChannelCount] = {data.CpuTemp, data.PwrTemp, data.SysTemp, data.Vcore, data.Vtt,
                                       data.Vio,     data.Fan1,    data.Fan2,    data.Fan3};
  const std::string time = timeText(qrvl::record::sampleTime(reinterpret_cast<const std::uint8_t*>(&data)));
  std::string out = json ? "{" : "";
  for (int c = 0; c < kChannelCount; ++c) {
    const std::string name = qrvl::record::channelName(static_cast<Channel>(c));
    const std::string text = fieldText(fields[c]);
    if (json)
      out += "\"" + lowerCase(name) + "\": " + jsonValue(text) + ", ";
    else
      out += name + ": " + (text.empty() ? "-" : text + " " + unitOf(c)) + "\n";
  }
  out += json ? "\"time\": \"" + time + "\"}\n" : "Time: " + time + "\n";
  std::fputs(out.c_str(), stdout);
  return 0;
}
