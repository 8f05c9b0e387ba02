#pragma once

#include "config/Options.h"
#include "http/MetricsServer.h"
#include "net/RequestGate.h"
#include "source/Sampler.h"

namespace qrvld {

// What SIGHUP does: parses the command line again, and with it the configuration file and
// the web configuration file, and applies what can change while the daemon runs (the
// allow-list of both sides, the rate limit, the [map] section, the cadence, and the
// metrics' TLS material and users). Settings that need a restart are logged and
// left as they are; a configuration with an error is logged and changes nothing.
class Reloader {
 public:
  // `argv` is main's, whose strings live as long as the process. `options` are those in
  // force, which reload() brings up to date.
  Reloader(int argc, char** argv, Options& options, RequestGate& gate, Sampler& sampler, MetricsServer& metrics);
  Reloader(const Reloader&) = delete;
  Reloader& operator=(const Reloader&) = delete;

  // On the poll loop's thread between batches, where `options` and the gate are used.
  void reload();

 private:
  int argc_;
  char** argv_;
  Options& options_;
  RequestGate& gate_;
  Sampler& sampler_;
  MetricsServer& metrics_;
};

}  // namespace qrvld
