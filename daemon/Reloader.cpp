#include "Reloader.h"

#include <chrono>
#include <string>

#include "base/Log.h"

namespace qrvld {

namespace {
// Every setting a reload looks at, by its name in the file: those that apply at once are
// taken from the new reading; the others are compared and, when changed, logged as waiting
// for the next start.
struct Setting {
  const char* name;
  bool (*changed)(const Options& now, const Options& fresh);  // restart-only settings
  void (*take)(Options& now, const Options& fresh);           // settings that apply at once
};
const Setting kSettings[] = {
    {"listen", [](const Options& a, const Options& b) { return b.listen != a.listen; }, nullptr},
    {"port", [](const Options& a, const Options& b) { return b.port != a.port; }, nullptr},
    {"source", [](const Options& a, const Options& b) { return b.source != a.source; }, nullptr},
    {"sysfs-root", [](const Options& a, const Options& b) { return b.sysfsRoot != a.sysfsRoot; }, nullptr},
    {"metrics",
     [](const Options& a, const Options& b) {
       return b.metrics != a.metrics || !(b.metricsAddress == a.metricsAddress) || b.metricsPort != a.metricsPort;
     },
     nullptr},
    {"allow", nullptr, [](Options& a, const Options& b) { a.allow = b.allow; }},
    {"rate",
     nullptr,
     [](Options& a, const Options& b) {
       a.burst = b.burst;
       a.perSecond = b.perSecond;
     }},
    {"exempt-loopback", nullptr, [](Options& a, const Options& b) { a.exemptLoopback = b.exemptLoopback; }},
    {"cadence", nullptr, [](Options& a, const Options& b) { a.cadenceMs = b.cadenceMs; }},
    {"map", nullptr, [](Options& a, const Options& b) { a.map = b.map; }},
    // The running metrics server keeps its web configuration while the file names no
    // metrics, since that change waits for the next start.
    {"metrics-web-config",
     nullptr,
     [](Options& a, const Options& b) {
       if (b.metrics || !a.metrics) a.web = b.web;
     }},
};
}  // namespace

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
  // First what can fail, so that a failure leaves everything as it was; options_.web stays
  // what the server holds.
  if (fresh.metrics && options_.metrics && fresh.web != options_.web && !metrics_.setWebConfig(fresh.web, error)) {
    log(Priority::Error, "configuration not reloaded: %s; the settings in force stay", error.c_str());
    return;
  }
  for (const Setting& setting : kSettings) {
    if (setting.changed != nullptr && setting.changed(options_, fresh)) {
      log(Priority::Warning, "%s changes at the next start", setting.name);
    }
    if (setting.take != nullptr) setting.take(options_, fresh);
  }
  gate_.reconfigure(options_.allow, options_.burst, options_.perSecond, options_.exemptLoopback);
  metrics_.setAllow(options_.allow);
  sampler_.reconfigure(std::chrono::milliseconds(options_.cadenceMs), options_.map);
  const std::string& file = options_.config.empty() ? options_.web.path : options_.config;
  log(Priority::Notice, "reloaded %s: %s; [map] applied", file.c_str(), runningSettings(options_).c_str());
}

}  // namespace qrvld
