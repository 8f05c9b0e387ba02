#include "hwmon/SensorReader.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace qrvld {

namespace {
SensorReader::Result fromFile(AttributeFile::Result result, int error) {
  switch (result) {
    // Files vanish from a chip's directory or change under it when the chip itself has
    // gone; a file that is there but refused (EACCES) is only a missing value.
    case AttributeFile::Result::Gone: return {SensorReader::Outcome::Gone, NAN, 0};
    case AttributeFile::Result::NotAFile: return {SensorReader::Outcome::NotAFile, NAN, 0};
    case AttributeFile::Result::CannotOpen:
    case AttributeFile::Result::ReadError: return {SensorReader::Outcome::ReadError, NAN, error};
    default: return {SensorReader::Outcome::NotANumber, NAN, 0};
  }
}
}  // namespace

SensorReader::SensorReader(const ReadFunction& read, SensorKind kind, int index, bool hasFault)
    : scale_(1.0 / sensorKindInfo(kind).divisor),
      low_(sensorKindInfo(kind).low),
      high_(sensorKindInfo(kind).high),
      input_(read, sensorName(kind, index) + "_input") {
  if (hasFault) fault_.emplace(read, sensorName(kind, index) + "_fault");
}

SensorReader::SensorReader(const ReadFunction& read, const std::string& attribute, const std::string& fault)
    : scale_(1.0), low_(-INFINITY), high_(INFINITY), input_(read, attribute) {
  if (!fault.empty()) fault_.emplace(read, fault);
}

SensorReader::Result SensorReader::read(int chipFd, double multiplier, double offset) {
  long long raw = 0;
  const auto input = input_.read(chipFd, raw);
  if (input != AttributeFile::Result::Value) return fromFile(input, input_.error());
  if (fault_) {
    long long fault = 0;
    const auto flag = fault_->read(chipFd, fault);
    if (flag != AttributeFile::Result::Value) return fromFile(flag, fault_->error());
    if (fault != 0) return {Outcome::Fault, NAN, 0};
  }
  const double value = static_cast<double>(raw) * scale_ * multiplier + offset;
  if (!(value >= low_ && value <= high_)) return {Outcome::Implausible, value, 0};
  return {Outcome::Value, value, 0};
}

std::string SensorReader::describe(SensorKind kind, const Result& r) {
  const SensorKindInfo& info = sensorKindInfo(kind);
  auto number = [&](double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, info.decimals).ptr;
    return std::string(text, end) + " " + info.unit;
  };
  switch (r.outcome) {
    case Outcome::Value: return number(r.value);
    case Outcome::Gone: return "gone";
    case Outcome::NotAFile: return "not a regular file";
    case Outcome::ReadError: return std::string("read error (") + std::strerror(r.error) + ")";
    case Outcome::NotANumber: return "not a number";
    case Outcome::Fault: return "fault";
    case Outcome::Implausible: return "implausible (" + number(r.value) + ")";
  }
  return "";
}

}  // namespace qrvld
