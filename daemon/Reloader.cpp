#include "Reloader.h"

#include <chrono>
#include <string>

#include "SettingTable.h"
#include "base/Log.h"

namespace qrvld {

Reloader::Reloader(int argc, char** argv, Configuration& configuration, RequestGate& gate, Sampler& sampler,
                   MetricsServer& metrics)
    : argc_(argc), argv_(argv), configuration_(configuration), gate_(gate), sampler_(sampler), metrics_(metrics) {}

void Reloader::reload() {
  Options& options = configuration_.options;
  if (options.config.empty() && options.webConfig.empty()) {
    log(Priority::Notice, "SIGHUP: no configuration file to read again (no --config, no --web.config.file)");
    return;
  }
  // The command line again, so that its options still win over the file as they did at start.
  Configuration fresh;
  std::string error;
  if (parseConfiguration(argc_, argv_, fresh, error) != ParseResult::Run) {
    log(Priority::Error, "configuration not reloaded: %s; the settings in force stay", error.c_str());
    return;
  }
  // First what can fail, so that a failure leaves everything as it was; the web
  // configuration in force stays what the server holds.
  const bool serving = options.metrics && fresh.options.metrics;
  if (serving && fresh.web != configuration_.web && !metrics_.setWebConfig(fresh.web, error)) {
    log(Priority::Error, "configuration not reloaded: %s; the settings in force stay", error.c_str());
    return;
  }
  for (const Setting& setting : settingTable()) {
    if (setting.change == Setting::Change::AtOnce) setting.take(options, fresh.options);
    if (setting.change == Setting::Change::AtRestart && setting.differs(options, fresh.options)) {
      log(Priority::Warning, "%s changes at the next start", setting.name);
    }
  }
  configuration_.map = fresh.map;
  // The running metrics server keeps its web configuration while the file names no
  // metrics, since that change waits for the next start.
  if (fresh.options.metrics || !options.metrics) configuration_.web = fresh.web;
  gate_.reconfigure(options.allow, options.burst, options.perSecond, options.exemptLoopback);
  metrics_.setAllow(options.allow);
  sampler_.reconfigure(std::chrono::milliseconds(options.cadenceMs), configuration_.map);
  const std::string& file = options.config.empty() ? options.webConfig : options.config;
  log(Priority::Notice, "reloaded %s: %s; [map] applied", file.c_str(), runningSettings(configuration_).c_str());
}

}  // namespace qrvld
