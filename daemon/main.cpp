// qrvld: the sensor host daemon.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "Configuration.h"
#include "Reloader.h"
#include "Server.h"
#include "base/Log.h"
#include "http/MetricsServer.h"
#include "mapping/ChipList.h"
#include "metrics/MetricsBoard.h"
#include "metrics/MetricsText.h"
#include "net/RateLimiter.h"
#include "net/RequestGate.h"
#include "source/Sampler.h"
#include "source/SourceFactory.h"

using namespace qrvld;

namespace {
// How long --list waits for a chip whose driver is slow to answer before it says so.
constexpr std::chrono::seconds kListPatience{2};
}  // namespace

int main(int argc, char** argv) {
  Configuration configuration;
  const Options& options = configuration.options;
  std::string error;
  switch (parseConfiguration(argc, argv, configuration, error)) {
    case ParseResult::Help:
      std::fputs(usageText().c_str(), stdout);
      return 0;
    case ParseResult::Version:
      std::puts("qrvld " QRVL_VERSION);
      return 0;
    case ParseResult::List: {
      std::string text;
      if (!listChips(options.sysfsRoot, configuration.map, ::pread, kListPatience, text, error)) {
        log(Priority::Error, "%s", error.c_str());
        return 1;
      }
      std::fputs(text.c_str(), stdout);
      return 0;
    }
    case ParseResult::Error:
      log(Priority::Error, "%s (see qrvld --help)", error.c_str());
      return 2;
    case ParseResult::Run:
      break;
  }

  // Blocked before any thread exists, so every thread inherits the mask and the signals
  // reach the poll loop's signalfd only.
  const sigset_t signals = Server::signals();
  sigprocmask(SIG_BLOCK, &signals, nullptr);

  auto source = makeSource(options.source, options.sysfsRoot, configuration.map, error);
  if (!source) {
    log(Priority::Error, "%s", error.c_str());
    return 1;
  }
  RateLimiter limiter(options.burst, options.perSecond, std::random_device{}());
  RequestGate gate(options.allow, limiter, options.exemptLoopback);
  MetricsBoard board(QRVL_VERSION);
  Sampler::Listener toBoard;
  if (options.metrics) {
    toBoard = [&board](const SensorSnapshot& sensors, const std::uint8_t* record,
                       std::chrono::steady_clock::time_point sampled) {
      board.publish(metricsOfSample(sensors, record), record != nullptr, sampled);
    };
  }
  Sampler sampler(*source, std::chrono::milliseconds(options.cadenceMs), toBoard);
  Server server(configuration, gate, sampler);
  board.countFrom([&server](RequestCheck outcome) { return server.count(outcome); });
  MetricsServer metrics(board, options.allow);
  Reloader reloader(argc, argv, configuration, gate, sampler, metrics);
  server.onReload([&reloader] { reloader.reload(); });
  const bool started =
      sampler.start(error) && server.open(error) &&
      (!options.metrics || metrics.start(options.metricsAddress, options.metricsPort, configuration.web, error));
  if (started) {
    server.run();
  } else {
    log(Priority::Error, "%s", error.c_str());
  }
  const int code = started ? 0 : 1;
  // A sample may be waiting up to a cadence for a chip that does not answer; a stop must
  // not wait for it.
  if (!sampler.stop(std::chrono::milliseconds(500))) {
    log(Priority::Warning, "the sampler is still waiting for a sample; ending without it");
    std::_Exit(code);
  }
  return code;
}
