#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/AllowList.h"
#include "net/IpAddress.h"

namespace qrvld {

// The plain values the daemon is told by its command line and the [qrvld] section of its
// configuration file; the files they name are read by the rooms that use them.
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
  bool listenDefault = true;  // listen holds the built-in loopback pair
  bool metrics = false;       // serve Prometheus metrics over HTTP on metricsAddress:metricsPort
  IpAddress metricsAddress;
  std::uint16_t metricsPort = 0;
  std::string webConfig;  // the web configuration file; empty for plain HTTP
};

}  // namespace qrvld
