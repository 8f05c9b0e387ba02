// The wire format: encoding, every rejection, field texts and host texts.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "qrvl/Channels.h"
#include "qrvl/HostText.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

namespace wire = qrvl::wire;
namespace record = qrvl::record;

namespace {
std::vector<std::uint8_t> validRequest(std::uint32_t sequence) {
  std::uint8_t bytes[wire::kRequestSize];
  wire::encodeRequest(sequence, bytes);
  return {bytes, bytes + sizeof bytes};
}

std::vector<std::uint8_t> validResponse(std::uint32_t sequence, std::uint8_t status = wire::kStatusReading) {
  record::Reading reading{};
  for (int c = 0; c < record::kChannelCount; ++c) reading.value[c] = 10.0 + c;
  std::uint8_t rec[wire::kRecordSize];
  record::encode(reading, 1700000000123ULL, rec);
  std::uint8_t bytes[wire::kResponseSize];
  wire::encodeResponse(sequence, status, rec, bytes);
  return {bytes, bytes + sizeof bytes};
}

// A datagram with one byte changed, or cut or padded with zeros to `size`.
std::vector<std::uint8_t> with(std::vector<std::uint8_t> d, std::size_t at, int value) {
  d[at] = static_cast<std::uint8_t>(value);
  return d;
}
std::vector<std::uint8_t> resized(std::vector<std::uint8_t> d, std::size_t size) {
  d.resize(size, 0);
  return d;
}

wire::RequestCheck checkRequest(const std::vector<std::uint8_t>& d) { return wire::checkRequest(d.data(), d.size()); }

wire::ResponseCheck checkResponse(const std::vector<std::uint8_t>& d, std::uint32_t sequence) {
  return wire::checkResponse(d.data(), d.size(), sequence);
}

std::string format(double value, int decimals) {
  char text[record::kFieldSize];
  const std::size_t n = record::formatValue(value, decimals, text);
  EXPECT_EQ(n, std::strlen(text));
  for (std::size_t i = n; i < sizeof text; ++i) EXPECT_EQ(text[i], '\0');
  return text;
}
}  // namespace

TEST(Wire, RequestEncodingAndEveryRejection) {
  // The exact bytes: magic, version, type, reserved, little-endian sequence, zero padding.
  const auto request = validRequest(0x11223344);
  ASSERT_EQ(request.size(), 128u);
  const std::uint8_t head[12] = {'Q', 'R', 'V', 'L', 1, 1, 0, 0, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(std::memcmp(request.data(), head, sizeof head), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(request.begin() + 12, request.end()), std::vector<std::uint8_t>(116, 0));
  EXPECT_EQ(checkRequest(request), wire::RequestCheck::Valid);
  EXPECT_EQ(wire::requestSequence(request.data()), 0x11223344u);

  // Size: anything but 128 bytes.
  for (std::size_t size : {0, 1, 12, 120, 127, 129, 256, 65507})
    EXPECT_EQ(checkRequest(resized(request, size)), wire::RequestCheck::WrongSize) << size;
  // Each byte of the header and every padding byte.
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(checkRequest(with(request, i, request[i] ^ 0x20)), wire::RequestCheck::WrongMagic);
  for (int version : {0, 2, 0xff}) EXPECT_EQ(checkRequest(with(request, 4, version)), wire::RequestCheck::WrongVersion);
  for (int type : {0x00, 0x02, 0x81, 0xff})
    EXPECT_EQ(checkRequest(with(request, 5, type)), wire::RequestCheck::WrongType);
  for (int i : {6, 7}) EXPECT_EQ(checkRequest(with(request, i, 1)), wire::RequestCheck::NonZeroReserved) << i;
  for (int i = 12; i < 128; ++i) EXPECT_EQ(checkRequest(with(request, i, 0x80)), wire::RequestCheck::NonZeroPadding);
  // Any sequence number is valid.
  EXPECT_EQ(checkRequest(validRequest(0)), wire::RequestCheck::Valid);
  EXPECT_EQ(checkRequest(validRequest(0xffffffff)), wire::RequestCheck::Valid);
}

TEST(Wire, ResponseEncodingAndEveryRejection) {
  // A reading: header, copied sequence, zero reserved bytes, the record from byte 16.
  const auto response = validResponse(0xCAFEF00D);
  ASSERT_EQ(response.size(), 120u);
  const std::uint8_t head[16] = {'Q', 'R', 'V', 'L', 1, 0x81, 0, 0, 0x0D, 0xF0, 0xFE, 0xCA, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(response.data(), head, sizeof head), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(response.data() + 16), "10.0");
  EXPECT_EQ(record::sampleTime(response.data() + 16), 1700000000123ULL);
  EXPECT_EQ(checkResponse(response, 0xCAFEF00D), wire::ResponseCheck::Reading);

  // Status 1 carries an all-zero record whatever the record given.
  const auto empty = validResponse(5, wire::kStatusNoReading);
  EXPECT_EQ(empty[6], 1);
  EXPECT_EQ(std::vector<std::uint8_t>(empty.begin() + 16, empty.end()), std::vector<std::uint8_t>(104, 0));
  EXPECT_EQ(checkResponse(empty, 5), wire::ResponseCheck::NoReading);
  EXPECT_EQ(checkResponse(with(response, 6, 2), 0xCAFEF00D), wire::ResponseCheck::NoReading);

  // Foreign datagrams: wrong size, magic, version, type or sequence.
  for (std::size_t size : {0, 16, 119, 121, 128})
    EXPECT_EQ(checkResponse(resized(response, size), 0xCAFEF00D), wire::ResponseCheck::WrongSize) << size;
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(checkResponse(with(response, i, 0), 0xCAFEF00D), wire::ResponseCheck::WrongMagic);
  EXPECT_EQ(checkResponse(with(response, 4, 2), 0xCAFEF00D), wire::ResponseCheck::WrongVersion);
  for (int type : {0x01, 0x80, 0x82})
    EXPECT_EQ(checkResponse(with(response, 5, type), 0xCAFEF00D), wire::ResponseCheck::WrongType);
  EXPECT_EQ(checkResponse(response, 0xCAFEF00E), wire::ResponseCheck::WrongSequence);
  EXPECT_EQ(checkResponse(response, 0x0DF0FECA), wire::ResponseCheck::WrongSequence);

  // A text field of the six channels without its NUL spoils the reading; the fan fields
  // are not among them.
  for (int c = 0; c < record::kChannelCount; ++c) {
    auto d = response;
    std::memset(d.data() + 16 + c * 8, '9', 8);
    EXPECT_EQ(checkResponse(d, 0xCAFEF00D),
              c < record::kCheckedChannels ? wire::ResponseCheck::UnterminatedField : wire::ResponseCheck::Reading)
        << c;
  }

  // Only the outcomes that match the request end a client's wait.
  EXPECT_TRUE(wire::answersRequest(wire::ResponseCheck::Reading));
  EXPECT_TRUE(wire::answersRequest(wire::ResponseCheck::NoReading));
  EXPECT_TRUE(wire::answersRequest(wire::ResponseCheck::UnterminatedField));
  for (auto c : {wire::ResponseCheck::WrongSize, wire::ResponseCheck::WrongMagic, wire::ResponseCheck::WrongVersion,
                 wire::ResponseCheck::WrongType, wire::ResponseCheck::WrongSequence}) {
    EXPECT_FALSE(wire::answersRequest(c));
  }
}

TEST(Record, FieldTextsAsPrintfInTheCLocale) {
  // The three formats.
  EXPECT_EQ(format(45.5, 1), "45.5");
  EXPECT_EQ(format(45.25, 1), "45.2");  // exactly representable: rounds to even, as printf does
  EXPECT_EQ(format(1.2, 3), "1.200");
  EXPECT_EQ(format(1450.4, 0), "1450");
  EXPECT_EQ(format(-12.04, 1), "-12.0");
  EXPECT_EQ(format(-0.04, 1), "-0.0");

  // Seven characters fit; eight make an empty field, never a cut one.
  EXPECT_EQ(format(-1234.5, 1), "-1234.5");
  EXPECT_EQ(format(12345.6, 1), "12345.6");
  EXPECT_EQ(format(123456.7, 1), "");
  EXPECT_EQ(format(-12.345, 3), "-12.345");
  EXPECT_EQ(format(-123.456, 3), "");
  EXPECT_EQ(format(9999999.0, 0), "9999999");
  EXPECT_EQ(format(10000000.0, 0), "");
  EXPECT_EQ(format(99999.96, 1), "");  // rounding up makes it long
  EXPECT_EQ(format(1e300, 0), "");

  // No value: NaN and infinities.
  EXPECT_EQ(format(std::numeric_limits<double>::quiet_NaN(), 1), "");
  EXPECT_EQ(format(std::numeric_limits<double>::infinity(), 3), "");
  EXPECT_EQ(format(-std::numeric_limits<double>::infinity(), 0), "");

  // The same texts as printf in the C locale over a spread of values.
  std::setlocale(LC_ALL, "C");
  for (int i = -20000; i <= 20000; i += 7) {
    const double v = i / 13.0;
    for (int decimals : {0, 1, 3}) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
      EXPECT_EQ(format(v, decimals), std::strlen(expected) <= 7 ? std::string(expected) : "") << v;
    }
  }
}

TEST(Record, FieldTextsIgnoreTheProcessLocale) {
#if defined(_WIN32)
  const char* comma = std::setlocale(LC_ALL, "German_Germany.1252");
#else
  // A private copy of a locale with a decimal comma, so the test needs nothing installed.
  char dir[] = "/tmp/qrvl-locale-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string build = std::string("localedef -i de_DE -f UTF-8 ") + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
  const bool built = std::system(build.c_str()) == 0;
  setenv("LOCPATH", dir, 1);
  const char* comma = built ? std::setlocale(LC_ALL, "de_DE.UTF-8") : nullptr;
  std::system((std::string("rm -rf ") + dir).c_str());
#endif
  if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma available";
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.1f", 45.5);
  EXPECT_STREQ(printed, "45,5") << "the locale is in effect";

  EXPECT_EQ(format(45.5, 1), "45.5");
  EXPECT_EQ(format(1.25, 3), "1.250");
  EXPECT_EQ(format(1234.0, 0), "1234");
  record::Reading reading{};
  for (double& v : reading.value) v = 2.5;
  std::uint8_t rec[wire::kRecordSize];
  record::encode(reading, 0, rec);
  EXPECT_STREQ(reinterpret_cast<const char*>(rec + record::Vio * 8), "2.500");
  std::setlocale(LC_ALL, "C");
}

TEST(Record, EncodesEveryChannelAndTheSampleTime) {
  record::Reading reading{};
  const double values[record::kChannelCount] = {45.55, 38.0, 31.96, 1.2, 1.05, 3.3, 1432.6, 0.0, 123456789.0};
  for (int c = 0; c < record::kChannelCount; ++c) reading.value[c] = values[c];
  reading.value[record::PwrTemp] = std::nan("");
  std::uint8_t rec[wire::kRecordSize];
  std::memset(rec, 0xAA, sizeof rec);
  record::encode(reading, 0x0102030405060708ULL, rec);

  const char* expected[record::kChannelCount] = {"45.5", "", "32.0", "1.200", "1.050", "3.300", "1433", "0", ""};
  for (int c = 0; c < record::kChannelCount; ++c) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec + c * 8), strnlen(reinterpret_cast<const char*>(rec + c * 8), 8)),
              expected[c])
        << qrvl::channelFacts(c).name;
    EXPECT_TRUE(record::fieldTerminated(rec, static_cast<record::Channel>(c)));
  }
  const std::uint8_t time[8] = {8, 7, 6, 5, 4, 3, 2, 1};
  EXPECT_EQ(std::memcmp(rec + 72, time, 8), 0);
  EXPECT_EQ(record::sampleTime(rec), 0x0102030405060708ULL);
  EXPECT_EQ(std::vector<std::uint8_t>(rec + 80, rec + 104), std::vector<std::uint8_t>(24, 0));
}

TEST(HostText, FormsAndFailures) {
  // The four forms; a bare IPv6 literal has more than one colon.
  const struct {
    const char* text;
    const char* name;
    std::uint16_t port;
    bool bracketed;
  } good[] = {
      {"localhost", "localhost", 27183, false},
      {"sensors.example:4000", "sensors.example", 4000, false},
      {"192.0.2.1:1", "192.0.2.1", 1, false},
      {"[::1]", "::1", 27183, true},
      {"[2001:db8::5]:65535", "2001:db8::5", 65535, true},
      {"::1", "::1", 27183, false},
      {"fe80::1:2", "fe80::1:2", 27183, false},
      {"host:00080", "host", 80, false},
  };
  for (const auto& g : good) {
    qrvl::HostPort hp;
    ASSERT_TRUE(qrvl::parseHostText(g.text, hp)) << g.text;
    EXPECT_EQ(hp.name, g.name);
    EXPECT_EQ(hp.port, g.port) << g.text;
    EXPECT_EQ(hp.bracketed, g.bracketed) << g.text;
  }

  // Empty texts, missing names, ports outside 1..65535 or not decimal, broken brackets.
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:99999999999", "host:-1", "host:+80",
                          "host: 80", "host:8o", "[]", "[]:80", "[::1", "[::1]80", "[::1]:", "[::1]:0", "[::1]x"}) {
    qrvl::HostPort hp{"unchanged", 1, false};
    EXPECT_FALSE(qrvl::parseHostText(bad, hp)) << bad;
    EXPECT_EQ(hp.name, "unchanged");
  }
  qrvl::HostPort hp;
  EXPECT_FALSE(qrvl::parseHostText(nullptr, hp));
}
