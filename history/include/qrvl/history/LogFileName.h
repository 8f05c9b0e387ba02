#pragma once
// Names of a copy's log files: "<section>-YYYY-MM-DD.csv" per local day, and side files
// "<section>-YYYY-MM-DD.1.csv", ".2.csv", ... written while someone else holds the main
// file. Names are UTF-8; Windows compares them without regard to ASCII case, and so does
// everything here.

#include <string>
#include <string_view>
#include <vector>

#include "qrvl/history/LocalDate.h"

namespace qrvl::history {

// Which day and which file of that day a name is: side 0 is the main file.
struct LogFileId {
  LocalDate day;
  int side;
};

// The section as a file name may hold it: \/:*?"<>| and control characters become _.
std::string fileSafeSection(std::string_view section);
std::string logFileName(std::string_view section, LocalDate day, int side = 0);
// False for a name that is not one of this section's log files: another section's
// ("a-b-2026-12-09.csv" is not section "a"'s), or any other file.
bool parseLogFileName(std::string_view section, std::string_view name, LogFileId& id);

// This section's files dated more than logDays days before today; a logDays below 1 keeps
// every file.
std::vector<std::string> expiredLogFiles(std::string_view section, const std::vector<std::string>& names,
                                         LocalDate today, int logDays);
// This section's files dated from `first` to `last`, main files and side files, in the
// order of `names`.
std::vector<std::string> logFilesOfDays(std::string_view section, const std::vector<std::string>& names,
                                        LocalDate first, LocalDate last);

}  // namespace qrvl::history
