#pragma once

#include <chrono>
#include <climits>

namespace qrvl {

// A moment a given number of milliseconds after construction, on the monotonic clock.
// Every 32-bit time-out fits: 2^32 ms is some 50 days, far inside the clock's range.
class Deadline {
 public:
  explicit Deadline(unsigned timeoutMs) : end_(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}

  // Milliseconds left, rounded up so a wait never ends just short of the deadline;
  // 0 once it has passed. Capped to what poll and select take.
  int remainingMs() const {
    const auto left = end_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
  }

  bool passed() const { return Clock::now() >= end_; }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point end_;
};

}  // namespace qrvl
