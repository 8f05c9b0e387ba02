#include "qrvl/Wire.h"

#include <cstring>

#include "qrvl/Record.h"

namespace qrvl::wire {

namespace {
constexpr std::size_t kSequenceOffset = 8;
constexpr std::size_t kPaddingOffset = kSequenceOffset + 4;
constexpr std::size_t kWordPaddingOffset = 16;
static_assert(kPaddingOffset + 4 == kWordPaddingOffset, "four bytes of padding, then whole words");
static_assert((kRequestSize - kWordPaddingOffset) % 8 == 0, "the padding ends on a whole word");

// A word at a time and without a branch per byte: every request that gets an answer has
// all of its padding looked at.
bool paddingZero(const std::uint8_t* request) {
  std::uint32_t head;
  std::memcpy(&head, request + kPaddingOffset, sizeof head);
  std::uint64_t any = head;
  for (std::size_t at = kWordPaddingOffset; at < kRequestSize; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, request + at, sizeof word);
    any |= word;
  }
  return any == 0;
}
}  // namespace

std::uint32_t loadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint64_t loadLe64(const std::uint8_t* p) {
  return std::uint64_t{loadLe32(p)} | std::uint64_t{loadLe32(p + 4)} << 32;
}

void storeLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void storeLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void encodeRequest(std::uint32_t sequence, std::uint8_t (&out)[kRequestSize]) {
  std::memset(out, 0, sizeof out);
  std::memcpy(out, kMagic, sizeof kMagic);
  out[4] = kVersion;
  out[5] = kTypeRead;
  storeLe32(out + kSequenceOffset, sequence);
}

RequestCheck checkRequest(const std::uint8_t* data, std::size_t size) {
  if (size != kRequestSize) return RequestCheck::WrongSize;
  if (std::memcmp(data, kMagic, sizeof kMagic) != 0) return RequestCheck::WrongMagic;
  if (data[4] != kVersion) return RequestCheck::WrongVersion;
  if (data[5] != kTypeRead) return RequestCheck::WrongType;
  if (data[6] != 0 || data[7] != 0) return RequestCheck::NonZeroReserved;
  if (!paddingZero(data)) return RequestCheck::NonZeroPadding;
  return RequestCheck::Valid;
}

std::uint32_t requestSequence(const std::uint8_t* request) {
  return loadLe32(request + kSequenceOffset);
}

void encodeResponse(std::uint32_t sequence, std::uint8_t status,
                    const std::uint8_t (&record)[kRecordSize], std::uint8_t (&out)[kResponseSize]) {
  std::memset(out, 0, sizeof out);
  std::memcpy(out, kMagic, sizeof kMagic);
  out[4] = kVersion;
  out[5] = kTypeReading;
  out[6] = status;
  storeLe32(out + kSequenceOffset, sequence);
  if (status == kStatusReading) std::memcpy(out + kRecordOffset, record, kRecordSize);
}

ResponseCheck checkResponse(const std::uint8_t* data, std::size_t size, std::uint32_t sequence) {
  if (size != kResponseSize) return ResponseCheck::WrongSize;
  if (std::memcmp(data, kMagic, sizeof kMagic) != 0) return ResponseCheck::WrongMagic;
  if (data[4] != kVersion) return ResponseCheck::WrongVersion;
  if (data[5] != kTypeReading) return ResponseCheck::WrongType;
  if (loadLe32(data + kSequenceOffset) != sequence) return ResponseCheck::WrongSequence;
  if (data[6] != kStatusReading) return ResponseCheck::NoReading;
  const std::uint8_t* record = data + kRecordOffset;
  for (int c = 0; c < record::kCheckedChannels; ++c) {
    if (!record::fieldTerminated(record, static_cast<record::Channel>(c))) {
      return ResponseCheck::UnterminatedField;
    }
  }
  return ResponseCheck::Reading;
}

bool answersRequest(ResponseCheck check) {
  return check == ResponseCheck::Reading || check == ResponseCheck::NoReading ||
         check == ResponseCheck::UnterminatedField;
}

}  // namespace qrvl::wire
