#pragma once
// Calendar days in the proleptic Gregorian calendar, and the local day of an instant.

#include <cstdint>

namespace qrvl::history {

struct LocalDate {
  int year;
  int month;  // 1 to 12
  int day;    // 1 to 31

  bool operator==(const LocalDate& other) const {
    return year == other.year && month == other.month && day == other.day;
  }
  bool operator!=(const LocalDate& other) const { return !(*this == other); }
};

// Days since 1970-01-01, negative before it.
std::int64_t daysSinceEpoch(LocalDate date);
LocalDate dateOfDay(std::int64_t daysSinceEpoch);
int daysInMonth(int year, int month);

// Floor division, so instants before 1970 fall on the day they belong to.
std::int64_t floorDivide(std::int64_t value, std::int64_t divisor);

// The local day of utcMs where local time is UTC plus offsetMinutes.
LocalDate localDateAt(std::int64_t utcMs, int offsetMinutes);

}  // namespace qrvl::history
