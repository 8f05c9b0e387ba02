// qrvlget: one reading from a sensor host, printed as "name: value" lines.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "QRVLPLUG.h"
#include "qrvl/Record.h"

namespace {
const char kUsage[] = "usage: qrvlget [--timeout MS] HOST[:PORT]";

// A field's text as sent, cut at its NUL; anything but printable ASCII shows as '?'.
std::string fieldText(const char* field) {
  std::string text(field, strnlen(field, qrvl::record::kFieldSize));
  for (char& c : text) {
    if (c < 0x20 || c > 0x7e) c = '?';
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
  const char* host = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::printf("%s\nAsks a sensor host for one reading; waits at most MS milliseconds (default 2000).\n", kUsage);
      return 0;
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
  const char* fields[qrvl::record::kChannelCount] = {data.CpuTemp, data.PwrTemp, data.SysTemp,
                                                      data.Vcore,   data.Vtt,     data.Vio,
                                                      data.Fan1,    data.Fan2,    data.Fan3};
  for (int c = 0; c < qrvl::record::kChannelCount; ++c) {
    std::printf("%s: %s\n", qrvl::record::channelName(static_cast<qrvl::record::Channel>(c)),
                fieldText(fields[c]).c_str());
  }
  std::printf("Time: %s\n", timeText(qrvl::record::sampleTime(reinterpret_cast<const std::uint8_t*>(&data))).c_str());
  return 0;
}
