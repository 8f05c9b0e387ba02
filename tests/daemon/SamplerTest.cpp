// The sampler's stop when its source is held inside a sample, as a driver's read can hold it.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "source/Sampler.h"

using namespace std::chrono_literals;

namespace {
struct HeldSource : qrvld::SensorSource {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const char* name() const override { return "held"; }
  bool sample(qrvl::record::Reading&, std::chrono::steady_clock::time_point) override {
    released.wait();
    return false;
  }
};
}  // namespace

TEST(Sampler, StopDoesNotWaitForAHeldSourceBeyondItsPatience) {
  HeldSource source;
  qrvld::Sampler sampler(source, 100ms);
  std::string error;
  ASSERT_TRUE(sampler.start(error)) << error;

  // Held, the thread is given up on once the patience is spent, so qrvld can end without
  // it; let go, it ends at once.
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_FALSE(sampler.stop(300ms));
  EXPECT_GE(std::chrono::steady_clock::now() - asked, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 1000ms);
  source.release.set_value();
  EXPECT_TRUE(sampler.stop(1000ms));
}
