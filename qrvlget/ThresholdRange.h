#pragma once
// A threshold range as the monitoring plugins write them: "10" (alert outside 0..10),
// "10:" (below 10), "~:10" (above 10), "10:20" (outside 10..20), "@10:20" (inside 10..20,
// ends included).
#include <string>

class ThresholdRange {
 public:
  // False, with the reason, for a text that is no such range.
  bool parse(const std::string& text, std::string& why);
  // Whether the value calls for the alert.
  bool alerts(double value) const;
  // The range as it was given, for the perfdata.
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  double start_ = 0;
  double end_ = 0;
  bool inside_ = false;
};
