#include "qrvl/history/LookBack.h"

namespace qrvl::history {

std::int64_t spanMs(LookBack span) {
  constexpr std::int64_t kMinute = 60 * 1000;
  switch (span) {
    case LookBack::Live:
      return 0;
    case LookBack::TenMinutes:
      return 10 * kMinute;
    case LookBack::OneHour:
      return 60 * kMinute;
    case LookBack::SixHours:
      return 6 * 60 * kMinute;
    case LookBack::Day:
      return 24 * 60 * kMinute;
  }
  return 0;
}

const char* spanName(LookBack span) {
  static const char* const names[] = {"", "10m", "1h", "6h", "24h"};
  return names[static_cast<int>(span)];
}

LookBack longerSpan(LookBack span) {
  return span == LookBack::Day ? span : static_cast<LookBack>(static_cast<int>(span) + 1);
}

LookBack shorterSpan(LookBack span) {
  return span == LookBack::Live ? span : static_cast<LookBack>(static_cast<int>(span) - 1);
}

TimeRange columnTime(std::int64_t endMs, std::int64_t spanMs, int columns, int column) {
  // Whole-millisecond edges from one formula, so neighbouring columns share their edge.
  const std::int64_t start = endMs - spanMs;
  return {start + spanMs * column / columns, start + spanMs * (column + 1) / columns};
}

}  // namespace qrvl::history
