#include "Reloader.h"

#include <chrono>
#include <string>
#include <utility>

#include "base/Log.h"

namespace qrvld {

Reloader::Reloader(int argc, char** argv, Options& options, RequestGate& gate, Sampler& sampler, MetricsServer& metrics)
    : argc_(argc), argv_(argv), options_(options), gate_(gate), sampler_(sampler), metrics_(metrics) {}

void Reloader::reload() {
  if (options_.config.empty() && options_.web.path.empty()) {
    log(Priority::Notice, "SIGHUP: no configuration file to read again (no --config, no --web.config.file)");
    return;
  }
  // The command line again, so that its options still win over the file as they did at start.
  Options fresh;
  std::string error;
  if (parseOptions(argc_, argv_, fresh, error) != ParseResult::Run) {
    log(Priority::Error, "configuration not reloaded: %s; the settings in force stay", error.c_str());
    return;
  }
  const std::pair<const char*, bool> restartOnly[] = {
      {"listen", fresh.listen != options_.listen},
      {"port", fresh.port != options_.port},
      {"source", fresh.source != options_.source},
      {"sysfs-root", fresh.sysfsRoot != options_.sysfsRoot},
      {"metrics", fresh.metrics != options_.metrics || !(fresh.metricsAddress == options_.metricsAddress) ||
                      fresh.metricsPort != options_.metricsPort},
  };
  // First what can fail, so that a failure leaves everything as it was. The running metrics
  // server keeps its web configuration while the file names no metrics, since that change
  // waits for the next start; options_.web stays what the server holds.
  if (fresh.metrics && options_.metrics && fresh.web != options_.web && !metrics_.setWebConfig(fresh.web, error)) {
    log(Priority::Error, "configuration not reloaded: %s; the settings in force stay", error.c_str());
    return;
  }
  for (const auto& [name, changed] : restartOnly) {
    if (changed) log(Priority::Warning, "%s changes at the next start", name);
  }
  options_.allow = fresh.allow;
  options_.burst = fresh.burst;
  options_.perSecond = fresh.perSecond;
  options_.exemptLoopback = fresh.exemptLoopback;
  options_.cadenceMs = fresh.cadenceMs;
  options_.map = fresh.map;
  if (fresh.metrics || !options_.metrics) options_.web = fresh.web;
  gate_.reconfigure(options_.allow, options_.burst, options_.perSecond, options_.exemptLoopback);
  metrics_.setAllow(options_.allow);
  sampler_.reconfigure(std::chrono::milliseconds(options_.cadenceMs), options_.map);
  const std::string& file = options_.config.empty() ? options_.web.path : options_.config;
  log(Priority::Notice, "reloaded %s: %s; [map] applied", file.c_str(), runningSettings(options_).c_str());
}

}  // namespace qrvld
