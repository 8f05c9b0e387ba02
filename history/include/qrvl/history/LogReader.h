#pragma once
// Reading log files back: at start, the last day of this copy's files fills the history.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "qrvl/history/DayRing.h"
#include "qrvl/history/Sample.h"

namespace qrvl::history {

// However long a file is, no more of its rows are read: a day at one poll a second is
// 86,400 rows.
inline constexpr std::size_t kMaxRowsPerFile = 200000;

// The samples of a file's text, in file order. The byte-order mark, the header, rows that
// do not parse and a last row without its line break (torn by a power cut) are skipped.
std::vector<Sample> readLogRows(std::string_view text);

// Appends to the history, in time order, the samples later than nowUtcMs minus a day and
// not later than nowUtcMs; `samples` may come from several files in any order.
void fillDay(std::vector<Sample> samples, std::int64_t nowUtcMs, DayRing& ring);

}  // namespace qrvl::history
