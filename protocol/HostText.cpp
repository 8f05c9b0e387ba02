#include "qrvl/HostText.h"

#include <cctype>
#include <cstring>
#include <string>

#include "qrvl/Wire.h"

namespace qrvl {

namespace {
// Decimal digits only, so no locale, sign or blank can change the result.
bool parsePort(const char* text, std::uint16_t& port) {
  if (*text == '\0') return false;
  unsigned long value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}
}  // namespace

bool parseHostText(const char* text, HostPort& out) {
  if (text == nullptr || *text == '\0') return false;
  HostPort result{{}, wire::kDefaultPort, false};
  const char* rest = nullptr;
  if (*text == '[') {
    const char* close = std::strchr(text, ']');
    if (close == nullptr || close == text + 1) return false;
    result.name.assign(text + 1, close);
    result.bracketed = true;
    if (close[1] == ':') {
      rest = close + 2;
    } else if (close[1] != '\0') {
      return false;
    }
  } else {
    const char* colon = std::strchr(text, ':');
    if (colon != nullptr && std::strchr(colon + 1, ':') == nullptr) {
      if (colon == text) return false;
      result.name.assign(text, colon);
      rest = colon + 1;
    } else {
      result.name = text;
    }
  }
  if (rest != nullptr && !parsePort(rest, result.port)) return false;
  out = result;
  return true;
}

std::string withoutPassword(const char* text) {
  if (text == nullptr) return "";
  const std::string all = text;
  static const char kScheme[] = "http://";
  const std::size_t start = sizeof kScheme - 1;
  if (all.size() < start) return all;
  for (std::size_t i = 0; i < start; ++i) {
    const char c = all[i] >= 'A' && all[i] <= 'Z' ? static_cast<char>(all[i] - 'A' + 'a') : all[i];
    if (c != kScheme[i]) return all;
  }
  const std::size_t authorityEnd = all.find_first_of("/?#", start);
  const std::size_t at = all.rfind('@', authorityEnd == std::string::npos ? std::string::npos : authorityEnd - 1);
  if (at == std::string::npos || at < start) return all;
  const std::size_t colon = all.find(':', start);
  if (colon == std::string::npos || colon > at) return all;
  return all.substr(0, colon + 1) + "***" + all.substr(at);
}

bool isWebAddress(const char* text) {
  if (text == nullptr) return false;
  const char kScheme[] = "http://";
  for (std::size_t i = 0; kScheme[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i]) return false;
  }
  return true;
}

}  // namespace qrvl
