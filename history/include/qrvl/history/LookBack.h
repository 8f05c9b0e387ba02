#pragma once
// The spans a chart can show, and which slice of time each plot column stands for.

#include <cstdint>

namespace qrvl::history {

enum class LookBack { Live, TenMinutes, OneHour, SixHours, Day };

// Readings later than afterMs, up to and including untilMs.
struct TimeRange {
  std::int64_t afterMs;
  std::int64_t untilMs;
};

// Milliseconds across the plot's width; 0 for Live, which the chart draws as it always did.
std::int64_t spanMs(LookBack span);
// Its name in the plot's corner: "10m", "1h", "6h", "24h"; empty for Live.
const char* spanName(LookBack span);
// The next span outward and inward, for the mouse wheel; each stops at its end.
LookBack longerSpan(LookBack span);
LookBack shorterSpan(LookBack span);

// Column `column` of `columns` of a span ending at endMs: the columns tile the span without
// gap or overlap, the last one ending at endMs.
TimeRange columnTime(std::int64_t endMs, std::int64_t spanMs, int columns, int column);

}  // namespace qrvl::history
