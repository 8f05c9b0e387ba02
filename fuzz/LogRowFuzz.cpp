// A log file's text as the monitor reads it back at start: anyone may have edited it, so
// whatever it holds, reading stays bounded, and a row appended after it (with the line
// break the writer puts after a torn row) is read back as written.
// Input: the file's bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qrvl/history/LogReader.h"
#include "qrvl/history/LogRow.h"

namespace history = qrvl::history;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string file(reinterpret_cast<const char*>(data), size);
  const std::vector<history::Sample> before = history::readLogRows(file);
  if (before.size() > history::kMaxRowsPerFile) std::abort();
  for (const history::Sample& sample : before) {
    std::string text;
    std::int64_t again;
    history::appendLocalTime(text, sample.utcMs, 0);
    if (!history::parseLocalTime(text, again) || again != sample.utcMs) std::abort();
  }

  const char* fields[history::kChannels] = {"45.5", "", "-3", "1.25", "abc", "3.31"};
  const std::int64_t utcMs = 1796753401000;
  const std::string end = file.substr(file.size() < 2 ? 0 : file.size() - 2);
  file += history::textBeforeAppend(file.size(), end);
  history::appendLogRow(file, utcMs, 540, fields, "CPU above 85");
  const std::vector<history::Sample> after = history::readLogRows(file);
  if (after.size() < before.size() || after.size() > before.size() + 2) std::abort();
  if (after.size() < history::kMaxRowsPerFile) {
    // Every channel without a number reads back as the same NaN.
    const history::Sample expected = history::sampleOf(utcMs, fields);
    if (std::memcmp(&after.back(), &expected, sizeof expected) != 0) std::abort();
  }
  return 0;
}
