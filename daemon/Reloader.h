#pragma once

#include "Configuration.h"
#include "http/MetricsServer.h"
#include "net/RequestGate.h"
#include "source/Sampler.h"

namespace qrvld {

// What SIGHUP does: parses the command line again, and with it the configuration file and
// the web configuration file, and applies what the setting table says can change while the
// daemon runs, with the [map] section. Settings that need a restart are logged and left as
// they are; a configuration with an error is logged and changes nothing.
class Reloader {
 public:
  // `argv` is main's, whose strings live as long as the process. `configuration` is the
  // one in force, which reload() brings up to date.
  Reloader(int argc, char** argv, Configuration& configuration, RequestGate& gate, Sampler& sampler,
           MetricsServer& metrics);
  Reloader(const Reloader&) = delete;
  Reloader& operator=(const Reloader&) = delete;

  // On the poll loop's thread between batches, where the configuration and the gate are used.
  void reload();

 private:
  int argc_;
  char** argv_;
  Configuration& configuration_;
  RequestGate& gate_;
  Sampler& sampler_;
  MetricsServer& metrics_;
};

}  // namespace qrvld
