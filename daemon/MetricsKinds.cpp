#include "MetricsKinds.h"

#include <charconv>
#include <cstring>

namespace qrvld {

namespace {
// Units as the kernel documents them (Documentation/hwmon/sysfs-interface): millidegrees,
// millivolts, RPM, microwatts, milliamperes. Many power meters (amdgpu among them) have
// an average and no input.
const MetricsKind kKinds[kMetricsKindCount] = {
    {"temp", "celsius", 1000.0, {"input", nullptr}, {"max", "crit", "min"}},
    {"in", "volts", 1000.0, {"input", nullptr}, {"min", "max", nullptr}},
    {"fan", "rpm", 1.0, {"input", nullptr}, {"min", "max", nullptr}},
    {"power", "watts", 1000000.0, {"input", "average"}, {"max", "crit", "cap"}},
    {"curr", "amps", 1000.0, {"input", nullptr}, {"min", "max", "crit"}},
};
}  // namespace

const MetricsKind& metricsKind(int kind) { return kKinds[kind]; }

bool parseMetricsAttribute(const std::string& name, int& kind, int& index, std::string& suffix) {
  for (int k = 0; k < kMetricsKindCount; ++k) {
    const std::size_t length = std::strlen(kKinds[k].prefix);
    if (name.compare(0, length, kKinds[k].prefix) != 0) continue;
    const char* first = name.data() + length;
    const char* last = name.data() + name.size();
    const auto number = std::from_chars(first, last, index);
    // Leading zeros or signs are not how the kernel names attributes.
    if (number.ec != std::errc() || index < 0 || (*first == '0' && number.ptr - first > 1) || number.ptr == last ||
        *number.ptr != '_' || number.ptr + 1 == last) {
      return false;
    }
    kind = k;
    suffix.assign(number.ptr + 1, last);
    return true;
  }
  return false;
}

}  // namespace qrvld
