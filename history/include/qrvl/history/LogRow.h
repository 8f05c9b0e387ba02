#pragma once
// One row of the CSV log: UTF-8, CRLF, RFC 4180 quoting, a poll per row.

#include <cstdint>
#include <string>
#include <string_view>

#include "qrvl/history/Sample.h"

namespace qrvl::history {

// Byte-order mark, header and line break that begin every log file.
const std::string& logFileStart();

// A reading's 8-byte text field as the log writes it: the text without surrounding blanks
// when it is a decimal number, else empty.
std::string_view numberText(const char* field);
// The value of a number text; NaN when the text is not a decimal number.
float numberValue(std::string_view text);

// The history's sample of a poll: `fields` are the record's six text fields, null for a
// failed poll.
Sample sampleOf(std::int64_t utcMs, const char* const* fields);

// Appends "2026-12-09T03:10:01+09:00": the local time with its offset, to the second.
void appendLocalTime(std::string& out, std::int64_t utcMs, int offsetMinutes);
// The instant of such a text, in the years 1970 to 9998; false when it is not one.
bool parseLocalTime(std::string_view text, std::int64_t& utcMs);

// Appends one row with its CRLF: fields null for a failed poll; note empty, or from the
// note functions below, in UTF-8.
void appendLogRow(std::string& out, std::int64_t utcMs, int offsetMinutes, const char* const* fields,
                  std::string_view note);

std::string noReadingNote(std::string_view reason);
// "CPU above 85", "Vio below 3.1", "CPU back inside".
std::string aboveNote(int channel, std::string_view limit);
std::string belowNote(int channel, std::string_view limit);
std::string backInsideNote(int channel);

// What to write before the first row appended to a file: the file's start to an empty
// file, a line break to one whose last row was torn off (not ending in CRLF), else nothing.
std::string_view textBeforeAppend(std::uint64_t fileSize, std::string_view fileEnd);

}  // namespace qrvl::history
