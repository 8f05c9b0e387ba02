#include "qrvl/history/LogRotation.h"

namespace qrvl::history {

LogRotation::LogRotation(const LocalClock& clock) : clock_(clock) {}

LogRotation::Placement LogRotation::place(std::int64_t utcMs) {
  const int offset = clock_.offsetMinutesAt(utcMs);
  const LocalDate day = localDateAt(utcMs, offset);
  const bool newDay = !placed_ || day != day_;
  placed_ = true;
  day_ = day;
  return {day, offset, newDay};
}

void LogRotation::lastDayDates(std::int64_t nowUtcMs, LocalDate& first, LocalDate& last) const {
  // A local day can be 23 hours long, so a day back may reach the day before yesterday.
  const std::int64_t dayAgo = nowUtcMs - 24 * 60 * 60 * 1000;
  first = localDateAt(dayAgo, clock_.offsetMinutesAt(dayAgo));
  last = localDateAt(nowUtcMs, clock_.offsetMinutesAt(nowUtcMs));
}

}  // namespace qrvl::history
