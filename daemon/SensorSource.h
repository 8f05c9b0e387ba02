#pragma once

#include "qrvl/Record.h"

namespace qrvld {

// Where readings come from. sample() runs on the sampler thread only and may take its
// time; the request path never calls it.
class SensorSource {
 public:
  virtual ~SensorSource() = default;

  // Short name for the log.
  virtual const char* name() const = 0;
  // Reads every channel, NaN for a channel without a value; false when the source failed
  // as a whole and there is no reading.
  virtual bool sample(qrvl::record::Reading& out) = 0;
};

}  // namespace qrvld
