#pragma once
// Which day's file a row goes to: a new file at each local midnight, whatever the offset
// does in between (a daylight-saving change moves the clock, not the day).

#include <cstdint>

#include "qrvl/history/LocalClock.h"
#include "qrvl/history/LocalDate.h"

namespace qrvl::history {

class LogRotation {
 public:
  struct Placement {
    LocalDate day;
    int offsetMinutes;
    // The row starts another day's file than the row before (the first row always does):
    // open that file and choose the expired files anew.
    bool newDay;
  };

  explicit LogRotation(const LocalClock& clock);

  Placement place(std::int64_t utcMs);
  // The first and last local day that the day before nowUtcMs touches: the files that
  // fill the history at start.
  void lastDayDates(std::int64_t nowUtcMs, LocalDate& first, LocalDate& last) const;

 private:
  const LocalClock& clock_;
  bool placed_ = false;
  LocalDate day_{};
};

}  // namespace qrvl::history
