#pragma once
// The time source of the log: UTC and the local offset in force at an instant, from the
// platform in the program and from a script in tests.

#include <cstdint>

namespace qrvl::history {

class LocalClock {
 public:
  virtual ~LocalClock() = default;
  virtual std::int64_t nowUtcMs() const = 0;
  // Local time minus UTC at utcMs, in minutes (+540 in Tokyo).
  virtual int offsetMinutesAt(std::int64_t utcMs) const = 0;
};

}  // namespace qrvl::history
