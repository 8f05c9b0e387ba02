#pragma once
// The 104-byte reading record: nine 8-byte decimal texts, the sample time, reserved bytes.

#include <cstddef>
#include <cstdint>

#include "qrvl/Wire.h"

namespace qrvl::record {

enum Channel : int { CpuTemp, PwrTemp, SysTemp, Vcore, Vtt, Vio, Fan1, Fan2, Fan3, kChannelCount };

inline constexpr std::size_t kFieldSize = 8;
inline constexpr std::size_t kSampleTimeOffset = 72;
// A reading is only accepted when these first channels (temperatures and voltages) each
// end within their field.
inline constexpr int kCheckedChannels = 6;

// Values of one sampling; NaN marks a channel without a value.
struct Reading {
  double value[kChannelCount];
};

// Formats like printf "%.*f" in the C locale whatever the process locale is. Returns the
// length, or 0 with an empty text when the value is not finite or needs more than 7
// characters: a value is never cut.
std::size_t formatValue(double value, int decimals, char (&text)[kFieldSize]);

// Fills a zeroed record with the texts of every channel and the sample time.
void encode(const Reading& reading, std::uint64_t sampleTimeMs, std::uint8_t (&out)[wire::kRecordSize]);

// Where channel c's text starts in the record.
constexpr std::size_t fieldOffset(int c) { return static_cast<std::size_t>(c) * kFieldSize; }
// Channel c's text field in a record (the 104 bytes of a reading, whatever its type).
inline const char* field(const void* record, int c) { return static_cast<const char*>(record) + fieldOffset(c); }

bool fieldTerminated(const std::uint8_t* record, Channel c);
std::uint64_t sampleTime(const std::uint8_t* record);

}  // namespace qrvl::record
