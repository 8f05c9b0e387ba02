#include "ThresholdRange.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {
// A whole text as a finite decimal number, in the C locale whatever the process's is.
bool number(const std::string& text, double& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const auto result = std::from_chars(first, last, value, std::chars_format::fixed);
  return first != last && result.ec == std::errc() && result.ptr == last && std::isfinite(value);
}
}  // namespace

bool ThresholdRange::parse(const std::string& text, std::string& why) {
  text_ = text;
  std::string rest = text;
  inside_ = !rest.empty() && rest[0] == '@';
  if (inside_) rest.erase(0, 1);
  const auto colon = rest.find(':');
  const std::string start = colon == std::string::npos ? "" : rest.substr(0, colon);
  const std::string end = colon == std::string::npos ? rest : rest.substr(colon + 1);
  const double infinity = std::numeric_limits<double>::infinity();
  if (start == "~") {
    start_ = -infinity;
  } else if (start.empty()) {
    start_ = 0;
  } else if (!number(start, start_)) {
    why = "\"" + text + "\" is no range: its start \"" + start + "\" is not a number";
    return false;
  }
  if (end.empty() && colon != std::string::npos) {
    end_ = infinity;
  } else if (!number(end, end_)) {
    why = "\"" + text + "\" is no range: \"" + end + "\" is not a number";
    return false;
  }
  if (start_ > end_) {
    why = "\"" + text + "\" is no range: its start lies above its end";
    return false;
  }
  return true;
}

bool ThresholdRange::alerts(double value) const {
  const bool outside = value < start_ || value > end_;
  return inside_ ? !outside : outside;
}
