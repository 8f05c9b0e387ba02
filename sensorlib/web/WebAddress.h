#pragma once
// A web server's address as the library takes it:
//   http://[user:password@]host[:port][/][?channel=SensorId&...]
// The server is a LibreHardwareMonitor with its remote web server switched on.

#include <cstdint>
#include <string>

#include "qrvl/HostText.h"
#include "qrvl/Record.h"

namespace qrvl::web {

inline constexpr std::uint16_t kDefaultPort = 8085;

struct WebAddress {
  HostPort host;
  // host[:port] as the Host header of a request carries it.
  std::string hostHeader;
  // "Basic ..." for a user given in the address, else empty.
  std::string authorization;
  // The sensor chosen in the query for each channel; empty where the rules choose.
  std::string pins[record::kChannelCount];
};

// Splits the text; false with the reason for anything but the form above, a space or a
// control character before the path, a port outside 1..65535, a path other than the
// root, or a query key that names no channel.
bool parseWebAddress(const char* text, WebAddress& out, std::string& why);

// Whether a host part holds a byte that no host name has: a space or a control character.
bool hasBlankOrControl(const std::string& text);

// The channel's name in a query: cpu, pwr, sys, vcore, vtt, vio, fan1, fan2, fan3.
std::string queryKey(record::Channel c);

// A sensor id as a query value that parseWebAddress reads back as the same id: letters,
// digits, "-._~/" as they are, every other byte as %XX.
std::string queryValue(const std::string& id);

}  // namespace qrvl::web
