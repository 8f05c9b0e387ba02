#include "qrvl/Record.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "qrvl/Channels.h"

namespace qrvl::record {

std::size_t formatValue(double value, int decimals, char (&text)[kFieldSize]) {
  std::memset(text, 0, sizeof text);
  if (!std::isfinite(value)) return 0;
  // std::to_chars is defined to format as printf does in the C locale.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::fixed, decimals);
  const auto length = static_cast<std::size_t>(result.ptr - buffer);
  if (result.ec != std::errc() || length > kFieldSize - 1) return 0;
  std::memcpy(text, buffer, length);
  return length;
}

void encode(const Reading& reading, std::uint64_t sampleTimeMs, std::uint8_t (&out)[wire::kRecordSize]) {
  std::memset(out, 0, sizeof out);
  for (int c = 0; c < kChannelCount; ++c) {
    char text[kFieldSize];
    formatValue(reading.value[c], qrvl::kChannels[c].decimals, text);
    std::memcpy(out + c * kFieldSize, text, kFieldSize);
  }
  wire::storeLe64(out + kSampleTimeOffset, sampleTimeMs);
}

bool fieldTerminated(const std::uint8_t* record, Channel c) {
  return std::memchr(record + c * kFieldSize, 0, kFieldSize) != nullptr;
}

std::uint64_t sampleTime(const std::uint8_t* record) {
  return wire::loadLe64(record + kSampleTimeOffset);
}

}  // namespace qrvl::record
