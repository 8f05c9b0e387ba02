#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mapping/ChannelMap.h"
#include "http/WebConfig.h"
#include "net/AllowList.h"
#include "net/IpAddress.h"

namespace qrvld {

// Everything the daemon is told by its command line and its configuration file.
struct Options {
  std::string config;  // the --config file; empty for none
  std::vector<IpAddress> listen;
  std::uint16_t port = 27183;
  AllowList allow = AllowList::loopback();
  unsigned burst = 20;
  unsigned perSecond = 10;
  bool exemptLoopback = true;
  std::string source = "hwmon";
  unsigned cadenceMs = 1000;
  std::string sysfsRoot = "/sys/class/hwmon";
  ChannelMap map;             // the [map] section
  bool listenDefault = true;  // listen holds the built-in loopback pair
  bool metrics = false;       // serve Prometheus metrics over HTTP on metricsAddress:metricsPort
  IpAddress metricsAddress;
  std::uint16_t metricsPort = 0;
  WebConfig web;  // read from the file metrics-web-config names, if any
};

enum class ParseResult { Run, Help, Version, List, Error };

// Reads the command line; a --config file is read first and the other options override
// it, then the web configuration file they name. On Error, `error` holds a one-line reason.
ParseResult parseOptions(int argc, char** argv, Options& options, std::string& error);

const char* usageText();

// The settings a reload can change, as the log shows them: "allow ...; rate ...; cadence ...;
// metrics https, ...".
std::string runningSettings(const Options& options);

}  // namespace qrvld
