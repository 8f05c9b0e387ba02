#pragma once

#include <optional>
#include <string>

#include "hwmon/AttributeFile.h"
#include "hwmon/SensorKind.h"

namespace qrvld {

// One sensor of a chip: its input file, and its fault flag where the driver has one,
// read into a value in the record's units.
class SensorReader {
 public:
  enum class Outcome { Value, Gone, NotAFile, ReadError, NotANumber, Fault, Implausible };
  struct Result {
    Outcome outcome;
    double value;  // for Value, and the rejected value for Implausible
    int error;     // errno for ReadError
  };

  SensorReader(const ReadFunction& read, SensorKind kind, int index, bool hasFault);
  // Any numeric attribute as the driver writes it, unscaled and with no plausible range,
  // and its fault flag unless `fault` is empty: what the metrics show.
  SensorReader(const ReadFunction& read, const std::string& attribute, const std::string& fault);

  // Reads the files in the chip's directory; Gone when they are no longer there, or are
  // other files than before, as when the chip's directory has been removed.
  Result read(int chipFd, double multiplier = 1.0, double offset = 0.0);

  // "45.0 C", "fault", "implausible (127.0 C)", "read error (Input/output error)", "gone",
  // "not a regular file", ... for a sensor of `kind`.
  static std::string describe(SensorKind kind, const Result& result);

 private:
  double scale_;
  double low_;
  double high_;
  AttributeFile input_;
  std::optional<AttributeFile> fault_;
};

}  // namespace qrvld
