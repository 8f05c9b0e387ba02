#include "qrvl/PrintableText.h"

namespace qrvl {

namespace {
// The length of the UTF-8 sequence of a printable character at `i`, or 0.
std::size_t printableSequence(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead >= 0x20 && lead < 0x7f) return 1;
  std::size_t length = 0;
  unsigned lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  unsigned code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  // Over-long forms, surrogates, beyond U+10FFFF, and the C1 controls (U+0080..U+009F,
  // which some terminals obey as they obey ESC).
  if (code < lowest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || code <= 0x9F) return 0;
  return length;
}
}  // namespace

std::string printable(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = printableSequence(text, i);
    if (n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      const auto b = static_cast<unsigned char>(text[i++]);
      out += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return out;
}

}  // namespace qrvl
