#include "web/WebAddress.h"

#include <cctype>
#include <charconv>
#include <cstring>

#include "qrvl/Channels.h"

namespace qrvl::web {

namespace {
const char kScheme[] = "http://";


int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX escapes decoded; false for a broken escape.
bool percentDecode(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = hexDigit(text[i + 1]);
    const int low = hexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::string base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], kAlphabet[n & 63]};
  }
  if (i + 1 == bytes.size()) {
    const unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    out += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], '='};
  }
  return out;
}

bool parsePort(const std::string& text, std::uint16_t& port) {
  const char* end = text.data() + text.size();
  unsigned n = 0;
  const auto parsed = std::from_chars(text.data(), end, n);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end || n < 1 || n > 65535) return false;
  port = static_cast<std::uint16_t>(n);
  return true;
}

bool parseQuery(const std::string& query, WebAddress& out, std::string& why) {
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    const std::size_t equals = pair.find('=');
    const std::string key = pair.substr(0, equals);
    std::string value;
    if (equals == std::string::npos || !percentDecode(pair.substr(equals + 1), value) || value.empty()) {
      why = "the query's \"" + key + "\" has no sensor id";
      return false;
    }
    int channel = 0;
    while (channel < record::kChannelCount && key != channelKey(channel)) ++channel;
    if (channel == record::kChannelCount) {
      why = "the query names no channel \"" + key + "\": expected cpu, pwr, sys, vcore, vtt, vio, fan1, fan2 or fan3";
      return false;
    }
    out.pins[channel] = value;
  }
  return true;
}
}  // namespace

bool parseWebAddress(const char* text, WebAddress& out, std::string& why) {
  out = WebAddress();
  if (!isWebAddress(text)) {
    why = "a web address begins with http://";
    return false;
  }
  const std::string rest = text + std::strlen(kScheme);
  const std::size_t authorityEnd = rest.find_first_of("/?#");
  const std::string authority = rest.substr(0, authorityEnd);
  // They would end up in the request's Host header, or stand for something else there.
  if (hasBlankOrControl(authority)) {
    why = "a space or a control character before the path";
    return false;
  }
  std::string tail = authorityEnd == std::string::npos ? "" : rest.substr(authorityEnd);

  std::string hostPort = authority;
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string userInfo = authority.substr(0, at);
    std::string credentials;
    if (!percentDecode(userInfo, credentials) || userInfo.find(':') == std::string::npos) {
      why = "the user part must read user:password";
      return false;
    }
    out.authorization = "Basic " + base64(credentials);
    hostPort = authority.substr(at + 1);
  }

  std::string portText;
  if (!hostPort.empty() && hostPort[0] == '[') {
    const std::size_t close = hostPort.find(']');
    if (close == std::string::npos || (close + 1 < hostPort.size() && hostPort[close + 1] != ':')) {
      why = "a bracketed host must read [v6-address] or [v6-address]:port";
      return false;
    }
    out.host.name = hostPort.substr(1, close - 1);
    out.host.bracketed = true;
    if (close + 1 < hostPort.size()) portText = hostPort.substr(close + 2);
  } else {
    const std::size_t colon = hostPort.find(':');
    out.host.name = hostPort.substr(0, colon);
    if (colon != std::string::npos) {
      portText = hostPort.substr(colon + 1);
      if (portText.empty()) portText = "-";
    }
  }
  if (out.host.name.empty()) {
    why = "no host after http://";
    return false;
  }
  out.host.port = kDefaultPort;
  if (!portText.empty() && !parsePort(portText, out.host.port)) {
    why = "the port must be from 1 to 65535";
    return false;
  }
  out.hostHeader = hostPort;

  if (!tail.empty() && tail[0] == '/') tail.erase(0, 1);
  if (!tail.empty() && tail[0] != '?') {
    why = "only the server's root is read: http://host:port/ (the readings come from its /data.json)";
    return false;
  }
  return tail.empty() || parseQuery(tail.substr(1), out, why);
}

bool hasBlankOrControl(const std::string& text) {
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7f) return true;
  }
  return false;
}

std::string queryKey(record::Channel c) { return channelKey(c); }

std::string queryValue(const std::string& id) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : id) {
    if (std::isalnum(c) || (c != 0 && std::strchr("-._~/", c) != nullptr)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace qrvl::web
