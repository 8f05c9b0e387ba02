#pragma once
// qrvlget --check: one reading judged against warning and critical ranges per channel, as a
// monitoring system's plugin reports it: one line with the state, what is wrong and the
// performance data, and the plugins' exit status.
#include <string>
#include <vector>

#include "ThresholdRange.h"
#include "qrvl/Channels.h"

class HealthCheck {
 public:
  enum Status { OK = 0, WARNING = 1, CRITICAL = 2, UNKNOWN = 3 };
  struct Result {
    Status status;
    std::string line;  // ends in a newline
  };

  // "cpu=80" or "cpu=80,vcore=0.8:1.45", channel names in any case; false with the reason.
  bool addThresholds(const std::string& list, bool critical, std::string& why);
  // The judgement of one reading's channel texts (empty: no value), in channel order.
  Result judge(const std::vector<std::string>& texts) const;
  // What the check says when it has no reading to judge or was asked wrongly.
  static Result unknown(const std::string& why);

 private:
  struct Limits {
    bool hasWarning = false;
    bool hasCritical = false;
    ThresholdRange warning;
    ThresholdRange critical;
  };
  Limits limits_[qrvl::record::kChannelCount];
};
