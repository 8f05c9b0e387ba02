#pragma once
// Sensor wire format, version 1: one 128-byte request, one 120-byte response, little-endian.

#include <cstddef>
#include <cstdint>

namespace qrvl::wire {

inline constexpr std::uint16_t kDefaultPort = 27183;
inline constexpr std::size_t kRequestSize = 128;
inline constexpr std::size_t kResponseSize = 120;
inline constexpr std::size_t kRecordOffset = 16;
inline constexpr std::size_t kRecordSize = 104;
inline constexpr std::uint8_t kMagic[4] = {0x51, 0x52, 0x56, 0x4C};  // "QRVL"
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::uint8_t kTypeRead = 0x01;
inline constexpr std::uint8_t kTypeReading = 0x81;
inline constexpr std::uint8_t kStatusReading = 0;
inline constexpr std::uint8_t kStatusNoReading = 1;

// The daemon must never be usable to amplify traffic towards a forged source.
static_assert(kResponseSize < kRequestSize, "a response must be smaller than a request");
static_assert(kRecordOffset + kRecordSize == kResponseSize, "the record ends the response");

std::uint32_t loadLe32(const std::uint8_t* p);
std::uint64_t loadLe64(const std::uint8_t* p);
void storeLe32(std::uint8_t* p, std::uint32_t v);
void storeLe64(std::uint8_t* p, std::uint64_t v);

void encodeRequest(std::uint32_t sequence, std::uint8_t (&out)[kRequestSize]);

// What became of a datagram sent to a sensor host, in the order the host checks: its
// source, its bytes, its source's rate, then the sending of the answer. Valid is a request
// answered.
enum class RequestCheck {
  Valid,
  NotAllowed,  // the source is not on the host's allow-list
  WrongSize,
  WrongMagic,
  WrongVersion,
  WrongType,
  NonZeroReserved,
  NonZeroPadding,
  RateLimited,  // the source asked more often than the host's rate limit allows
  SendFailed,   // the answer could not be sent
  kCount,
};
// The check of the bytes alone: Valid, or one of WrongSize to NonZeroPadding.
RequestCheck checkRequest(const std::uint8_t* data, std::size_t size);

// Sequence number of a datagram that checkRequest found valid.
std::uint32_t requestSequence(const std::uint8_t* request);

// Builds a response from scratch; the record is copied only for status kStatusReading,
// otherwise it stays all zero.
void encodeResponse(std::uint32_t sequence, std::uint8_t status,
                    const std::uint8_t (&record)[kRecordSize], std::uint8_t (&out)[kResponseSize]);

// Outcome of the client's check of a datagram received while waiting for `sequence`.
// Reading, NoReading and UnterminatedField are answers to that request (the wait ends);
// everything else is a foreign datagram to ignore.
enum class ResponseCheck {
  Reading,
  NoReading,
  UnterminatedField,
  WrongSize,
  WrongMagic,
  WrongVersion,
  WrongType,
  WrongSequence,
};
ResponseCheck checkResponse(const std::uint8_t* data, std::size_t size, std::uint32_t sequence);
bool answersRequest(ResponseCheck check);

}  // namespace qrvl::wire
