#include "qrvl/history/LogReader.h"

#include <algorithm>
#include <string_view>

#include "qrvl/history/LogRow.h"

namespace qrvl::history {

namespace {

constexpr int kFields = 1 + kChannels + 1;
constexpr std::int64_t kDayMs = 24 * 60 * 60 * 1000;

// One RFC 4180 record starting at `at`. Quoted fields are given without their outer quotes
// and with doubled quotes left doubled: only the note may hold a quote, and it is not read.
// The writer keeps every record on one line, so a stray quote spoils one line, not the rest.
// Returns false when the text ends before the record's line break; `at` then stays put.
// `fieldCount` exceeds kFields for a record with too many fields; `wellFormed` is false for
// a stray quote.
bool nextRecord(std::string_view text, std::size_t& at, std::string_view (&fields)[kFields], int& fieldCount,
                bool& wellFormed) {
  std::size_t i = at;
  fieldCount = 0;
  wellFormed = true;
  while (true) {
    std::string_view field;
    if (i < text.size() && text[i] == '"') {
      const std::size_t start = ++i;
      while (true) {
        const std::size_t quote = text.find_first_of("\"\n", i);
        if (quote == std::string_view::npos) return false;
        if (text[quote] == '\n') {
          wellFormed = false;
          at = quote + 1;
          return true;
        }
        if (quote + 1 < text.size() && text[quote + 1] == '"') {
          i = quote + 2;
          continue;
        }
        field = text.substr(start, quote - start);
        i = quote + 1;
        break;
      }
    } else {
      const std::size_t start = i;
      while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
        if (text[i] == '"') wellFormed = false;
        ++i;
      }
      field = text.substr(start, i - start);
    }
    if (fieldCount < kFields) fields[fieldCount] = field;
    ++fieldCount;
    if (i >= text.size()) return false;
    if (text[i] == ',') {
      ++i;
      continue;
    }
    // An editor may have turned CRLF into LF; after a quoted field anything else is stray.
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      at = i + 2;
      return true;
    }
    if (text[i] == '\n') {
      at = i + 1;
      return true;
    }
    if (text[i] == '\r' && i + 1 >= text.size()) return false;
    wellFormed = false;
    // Skip to the end of the line and drop the record.
    const std::size_t lineEnd = text.find('\n', i);
    if (lineEnd == std::string_view::npos) return false;
    at = lineEnd + 1;
    return true;
  }
}

bool parseRow(const std::string_view (&fields)[kFields], Sample& sample) {
  if (!parseLocalTime(fields[0], sample.utcMs)) return false;
  for (int c = 0; c < kChannels; ++c) {
    const std::string_view text = fields[1 + c];
    sample.values[c] = numberValue(text);
    if (!text.empty() && sample.values[c] != sample.values[c]) return false;
  }
  return true;
}

}  // namespace

std::vector<Sample> readLogRows(std::string_view text) {
  static const std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());

  std::vector<Sample> samples;
  std::size_t at = 0;
  std::string_view fields[kFields];
  int fieldCount;
  bool wellFormed;
  for (std::size_t rows = 0; rows < kMaxRowsPerFile && nextRecord(text, at, fields, fieldCount, wellFormed); ++rows) {
    Sample sample;
    if (wellFormed && fieldCount == kFields && parseRow(fields, sample)) samples.push_back(sample);
  }
  return samples;
}

void fillDay(std::vector<Sample> samples, std::int64_t nowUtcMs, DayRing& ring) {
  const auto outside = [&](const Sample& s) { return s.utcMs <= nowUtcMs - kDayMs || s.utcMs > nowUtcMs; };
  samples.erase(std::remove_if(samples.begin(), samples.end(), outside), samples.end());
  // Stable, so rows of one instant keep the order they were read in.
  std::stable_sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.utcMs < b.utcMs; });
  for (const Sample& sample : samples) ring.append(sample);
}

}  // namespace qrvl::history
