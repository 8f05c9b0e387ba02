#include "qrvl/history/LogRow.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "qrvl/Channels.h"
#include "qrvl/Record.h"
#include "qrvl/history/LocalDate.h"

namespace qrvl::history {

const std::string& logFileStart() {
  static const std::string start = [] {
    std::string text = "\xEF\xBB\xBF" "Time";
    for (int c = 0; c < kChannels; ++c) text += std::string(",") + channelFacts(c).name + " " + quantityFacts(c).unit;
    return text + ",Note\r\n";
  }();
  return start;
}

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
constexpr std::int64_t kMinuteMs = 60 * 1000;
constexpr std::int64_t kDayMs = 24 * 60 * kMinuteMs;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal text as a sensor host writes it, read without the process locale.
bool parseDecimal(std::string_view text, double& value) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  const char* last = text.data() + text.size();
  const auto result = std::from_chars(text.data(), last, value);
  return !text.empty() && result.ec == std::errc() && result.ptr == last && std::isfinite(value);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void appendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

// Reads exactly `width` digits at text[at].
bool readDigits(std::string_view text, std::size_t at, std::size_t width, int& value) {
  if (at + width > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (!isDigit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// A note is kept on its row's line: line breaks in it become blanks.
void appendNote(std::string& out, std::string_view note) {
  const bool quoted = note.find_first_of(",\"") != std::string_view::npos;
  if (quoted) out += '"';
  for (char c : note) {
    if (c == '"') out += '"';
    out += (c == '\r' || c == '\n') ? ' ' : c;
  }
  if (quoted) out += '"';
}

}  // namespace

std::string_view numberText(const char* field) {
  std::size_t length = 0;
  while (length < record::kFieldSize && field[length] != '\0') ++length;
  std::string_view text(field, length);
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  double value;
  return parseDecimal(text, value) ? text : std::string_view();
}

float numberValue(std::string_view text) {
  double value;
  return parseDecimal(text, value) ? static_cast<float>(value) : kNoValue;
}

Sample sampleOf(std::int64_t utcMs, const char* const* fields) {
  Sample sample;
  sample.utcMs = utcMs;
  for (int c = 0; c < kChannels; ++c) sample.values[c] = fields ? numberValue(numberText(fields[c])) : kNoValue;
  return sample;
}

void appendLocalTime(std::string& out, std::int64_t utcMs, int offsetMinutes) {
  const std::int64_t localMs = utcMs + offsetMinutes * kMinuteMs;
  const std::int64_t day = floorDivide(localMs, kDayMs);
  const LocalDate date = dateOfDay(day);
  const int secondOfDay = static_cast<int>((localMs - day * kDayMs) / 1000);
  appendTwoDigits(out, date.year / 100);
  appendTwoDigits(out, date.year % 100);
  out += '-';
  appendTwoDigits(out, date.month);
  out += '-';
  appendTwoDigits(out, date.day);
  out += 'T';
  appendTwoDigits(out, secondOfDay / 3600);
  out += ':';
  appendTwoDigits(out, secondOfDay / 60 % 60);
  out += ':';
  appendTwoDigits(out, secondOfDay % 60);
  const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  out += offsetMinutes < 0 ? '-' : '+';
  appendTwoDigits(out, offset / 60);
  out += ':';
  appendTwoDigits(out, offset % 60);
}

bool parseLocalTime(std::string_view text, std::int64_t& utcMs) {
  int year, month, day, hour, minute, second, offsetHours, offsetMinutes;
  if (text.size() != 25 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
      (text[19] != '+' && text[19] != '-') || text[22] != ':') {
    return false;
  }
  if (!readDigits(text, 0, 4, year) || !readDigits(text, 5, 2, month) || !readDigits(text, 8, 2, day) ||
      !readDigits(text, 11, 2, hour) || !readDigits(text, 14, 2, minute) || !readDigits(text, 17, 2, second) ||
      !readDigits(text, 20, 2, offsetHours) || !readDigits(text, 23, 2, offsetMinutes)) {
    return false;
  }
  // Years a log can hold, whose UTC time is written with four digits as well.
  if (year < 1970 || year > 9998 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59 || offsetHours > 23 || offsetMinutes > 59) {
    return false;
  }
  const std::int64_t offset = (text[19] == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
  const std::int64_t localMs =
      daysSinceEpoch({year, month, day}) * kDayMs + ((hour * 60 + minute) * std::int64_t{60} + second) * 1000;
  utcMs = localMs - offset * kMinuteMs;
  return true;
}

void appendLogRow(std::string& out, std::int64_t utcMs, int offsetMinutes, const char* const* fields,
                  std::string_view note) {
  appendLocalTime(out, utcMs, offsetMinutes);
  for (int c = 0; c < kChannels; ++c) {
    out += ',';
    if (fields) out += numberText(fields[c]);
  }
  out += ',';
  appendNote(out, note);
  out += "\r\n";
}

std::string noReadingNote(std::string_view reason) { return "no reading: " + std::string(reason); }

std::string aboveNote(int channel, std::string_view limit) {
  return channelFacts(channel).name + std::string(" above ") + std::string(limit);
}

std::string belowNote(int channel, std::string_view limit) {
  return channelFacts(channel).name + std::string(" below ") + std::string(limit);
}

std::string backInsideNote(int channel) {
  return channelFacts(channel).name + std::string(" back inside");
}

std::string_view textBeforeAppend(std::uint64_t fileSize, std::string_view fileEnd) {
  if (fileSize == 0) return logFileStart();
  if (fileEnd.size() >= 2 && fileEnd.substr(fileEnd.size() - 2) == "\r\n") return {};
  return "\r\n";
}

}  // namespace qrvl::history
