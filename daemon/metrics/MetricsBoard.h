#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "net/RequestGate.h"

namespace qrvld {

// What a scrape is answered from: the sampler swaps in the text of each sample whole, and
// the HTTP thread copies the pointer to it; the lock is held for nothing longer, so the
// sampler never waits for a scrape. The request counters are read where the poll loop
// keeps them, which takes no lock at all.
class MetricsBoard {
 public:
  explicit MetricsBoard(std::string version);
  MetricsBoard(const MetricsBoard&) = delete;
  MetricsBoard& operator=(const MetricsBoard&) = delete;

  // The metrics of one sample (metricsOfSample), whether it had a reading, and when it was taken.
  void publish(std::string text, bool sourceUp, std::chrono::steady_clock::time_point sampled);
  // Where each scrape reads how many datagrams have had each outcome; set before the first.
  void countFrom(std::function<std::uint64_t(RequestCheck)> counts) { counts_ = std::move(counts); }
  // The whole exposition as of now.
  std::string scrape() const;

 private:
  const std::string version_;
  mutable std::mutex mutex_;
  std::shared_ptr<const std::string> text_;
  bool sourceUp_ = false;
  std::optional<std::chrono::steady_clock::time_point> sampled_;
  std::function<std::uint64_t(RequestCheck)> counts_;
};

}  // namespace qrvld
