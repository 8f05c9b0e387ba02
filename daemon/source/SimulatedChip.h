#pragma once

#include <chrono>

#include "source/SensorSource.h"

namespace qrvld {

// A made-up sensor chip for machines without one, for tests and demonstrations: slow
// deterministic waves around plausible values (temperatures 30-60 degrees C, Vcore
// 1.2 V, VTT 1.05 V, Vio 3.3 V, fans 800-2000 rpm).
class SimulatedChip : public SensorSource {
 public:
  SimulatedChip();

  const char* name() const override;
  bool sample(qrvl::record::Reading& out, std::chrono::steady_clock::time_point deadline) override;

  // The values `seconds` after the chip started.
  static qrvl::record::Reading at(double seconds);

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace qrvld
