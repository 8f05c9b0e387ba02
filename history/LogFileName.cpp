#include "qrvl/history/LogFileName.h"

#include <cstring>

namespace qrvl::history {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
  }
  return true;
}

void appendDigits(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

bool takeDigits(std::string_view& text, std::size_t width, int& value) {
  if (text.size() < width) return false;
  value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  text.remove_prefix(width);
  return true;
}

bool takeChar(std::string_view& text, char c) {
  if (text.empty() || lowerAscii(text.front()) != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

std::string fileSafeSection(std::string_view section) {
  std::string safe(section);
  for (char& c : safe) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr) c = '_';
  }
  return safe;
}

std::string logFileName(std::string_view section, LocalDate day, int side) {
  std::string name = fileSafeSection(section);
  name += '-';
  appendDigits(name, day.year, 4);
  name += '-';
  appendDigits(name, day.month, 2);
  name += '-';
  appendDigits(name, day.day, 2);
  if (side > 0) {
    name += '.';
    name += std::to_string(side);
  }
  name += ".csv";
  return name;
}

bool parseLogFileName(std::string_view section, std::string_view name, LogFileId& id) {
  const std::string prefix = fileSafeSection(section) + '-';
  if (!startsWithIgnoringCase(name, prefix)) return false;
  std::string_view rest = name.substr(prefix.size());
  LocalDate day;
  if (!takeDigits(rest, 4, day.year) || !takeChar(rest, '-') || !takeDigits(rest, 2, day.month) ||
      !takeChar(rest, '-') || !takeDigits(rest, 2, day.day) || !takeChar(rest, '.')) {
    return false;
  }
  if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > daysInMonth(day.year, day.month)) return false;
  int side = 0;
  // A side number as the writer writes it: 1 to 9999, no leading zero.
  if (!rest.empty() && rest.front() >= '1' && rest.front() <= '9') {
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits > 4 || !takeDigits(rest, digits, side) || !takeChar(rest, '.')) return false;
  }
  if (!takeChar(rest, 'c') || !takeChar(rest, 's') || !takeChar(rest, 'v') || !rest.empty()) return false;
  id = {day, side};
  return true;
}

std::vector<std::string> expiredLogFiles(std::string_view section, const std::vector<std::string>& names,
                                         LocalDate today, int logDays) {
  std::vector<std::string> expired;
  if (logDays < 1) return expired;
  const std::int64_t oldestKept = daysSinceEpoch(today) - logDays;
  for (const std::string& name : names) {
    LogFileId id;
    if (parseLogFileName(section, name, id) && daysSinceEpoch(id.day) < oldestKept) expired.push_back(name);
  }
  return expired;
}

std::vector<std::string> logFilesOfDays(std::string_view section, const std::vector<std::string>& names,
                                        LocalDate first, LocalDate last) {
  std::vector<std::string> chosen;
  const std::int64_t from = daysSinceEpoch(first);
  const std::int64_t to = daysSinceEpoch(last);
  for (const std::string& name : names) {
    LogFileId id;
    if (!parseLogFileName(section, name, id)) continue;
    const std::int64_t day = daysSinceEpoch(id.day);
    if (day >= from && day <= to) chosen.push_back(name);
  }
  return chosen;
}

}  // namespace qrvl::history
