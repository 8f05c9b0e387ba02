#include "metrics/MetricsBoard.h"

#include "metrics/MetricsText.h"

namespace qrvld {

MetricsBoard::MetricsBoard(std::string version) : version_(std::move(version)) {}

void MetricsBoard::publish(std::string text, bool sourceUp, std::chrono::steady_clock::time_point sampled) {
  auto next = std::make_shared<const std::string>(std::move(text));
  std::lock_guard<std::mutex> lock(mutex_);
  // The text it replaces is freed when `next` goes, after the lock.
  text_.swap(next);
  sourceUp_ = sourceUp;
  sampled_ = sampled;
}

std::string MetricsBoard::scrape() const {
  std::shared_ptr<const std::string> text;
  MetricsHealth health{{}, std::nullopt, false, version_};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = text_;
    health.sourceUp = sourceUp_;
    if (sampled_)
      health.snapshotAge = std::chrono::duration<double>(std::chrono::steady_clock::now() - *sampled_).count();
  }
  for (int d = 0; d < static_cast<int>(RequestCheck::kCount); ++d)
    health.counts[d] = counts_ ? counts_(static_cast<RequestCheck>(d)) : 0;
  return (text ? *text : std::string()) + metricsOfHealth(health);
}

}  // namespace qrvld
