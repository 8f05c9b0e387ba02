#include "source/SimulatedChip.h"

#include <cmath>

namespace qrvld {

namespace {
constexpr double kTwoPi = 6.283185307179586;

// A sine of the given period in seconds, shifted by a phase in turns.
double wave(double seconds, double period, double phase) {
  return std::sin(kTwoPi * (seconds / period + phase));
}
}  // namespace

SimulatedChip::SimulatedChip() : start_(std::chrono::steady_clock::now()) {}

const char* SimulatedChip::name() const { return "simulated chip"; }

bool SimulatedChip::sample(qrvl::record::Reading& out, std::chrono::steady_clock::time_point) {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  out = at(elapsed.count());
  return true;
}

qrvl::record::Reading SimulatedChip::at(double t) {
  using namespace qrvl::record;
  // The CPU warms and cools over two minutes; the rest follow more slowly, with a small
  // faster ripple so consecutive readings differ.
  const double load = wave(t, 120.0, 0.0);
  Reading r{};
  r.value[CpuTemp] = 45.0 + 12.0 * load + 0.6 * wave(t, 7.0, 0.1);
  r.value[PwrTemp] = 40.0 + 6.0 * wave(t, 300.0, 0.25) + 0.3 * wave(t, 11.0, 0.0);
  r.value[SysTemp] = 33.0 + 3.0 * wave(t, 600.0, 0.5);
  r.value[Vcore] = 1.200 + 0.024 * load + 0.004 * wave(t, 5.0, 0.3);
  r.value[Vtt] = 1.050 + 0.008 * wave(t, 90.0, 0.6);
  r.value[Vio] = 3.300 + 0.030 * wave(t, 240.0, 0.2);
  r.value[Fan1] = 1400.0 + 500.0 * load;
  r.value[Fan2] = 1100.0 + 150.0 * wave(t, 300.0, 0.3);
  r.value[Fan3] = 900.0 + 80.0 * wave(t, 600.0, 0.7);
  return r;
}

}  // namespace qrvld
