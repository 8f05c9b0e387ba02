#pragma once

#include <chrono>

#include "mapping/ChannelMap.h"
#include "hwmon/SensorSnapshot.h"
#include "qrvl/Record.h"

namespace qrvld {

// Where readings come from. sample() runs on the sampler thread only; the request path
// never calls it.
class SensorSource {
 public:
  virtual ~SensorSource() = default;

  // Short name for the log.
  virtual const char* name() const = 0;
  // Reads every channel, NaN for a channel without a value; false when the source failed
  // as a whole and there is no reading. A value not read by `deadline` is left out, so
  // one sensor that does not answer cannot hold up the others.
  virtual bool sample(qrvl::record::Reading& out, std::chrono::steady_clock::time_point deadline) = 0;
  // From now on reads every sensor it has at each sample, not only those that feed a
  // channel, for the metrics; a source without such sensors has nothing more to read.
  virtual void readEverySensor() {}
  // Takes a new [map] section, resolved at the next sample; a source without a mapping
  // has nothing to change.
  virtual void remap(const ChannelMap&) {}
  // Every sensor as the last sample read it.
  virtual const SensorSnapshot& sensors() const {
    static const SensorSnapshot kNone;
    return kNone;
  }
};

}  // namespace qrvld
