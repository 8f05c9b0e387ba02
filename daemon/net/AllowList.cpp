#include "net/AllowList.h"

#include <charconv>

namespace qrvld {

AllowList AllowList::loopback() {
  AllowList list;
  std::string unused;
  list.add("127.0.0.0/8", unused);
  list.add("::1", unused);
  return list;
}

bool AllowList::add(const std::string& text, std::string& error) {
  const auto slash = text.find('/');
  IpAddress address;
  if (!IpAddress::parse(text.substr(0, slash), address)) {
    error = "\"" + text + "\" is not an address or an address/prefix-length range";
    return false;
  }
  const int familyBits = address.isV4() ? 32 : 128;
  int bits = familyBits;
  if (slash != std::string::npos) {
    const char* first = text.data() + slash + 1;
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, bits);
    if (first == last || result.ec != std::errc() || result.ptr != last || bits < 0 || bits > familyBits) {
      error = "\"" + text + "\" has a prefix length outside 0.." + std::to_string(familyBits);
      return false;
    }
  }
  // IPv4 lengths count within the last 32 bits of the mapped form.
  const int fullBits = address.isV4() ? bits + 96 : bits;
  entries_.push_back({address.masked(fullBits), fullBits});
  return true;
}

bool AllowList::admits(const IpAddress& source) const {
  for (const Entry& e : entries_) {
    if (source.inPrefix(e.prefix, e.bits)) return true;
  }
  return false;
}

std::string AllowList::text() const {
  std::string out;
  for (const Entry& e : entries_) {
    if (!out.empty()) out += ' ';
    out += e.prefix.text() + "/" + std::to_string(e.prefix.isV4() ? e.bits - 96 : e.bits);
  }
  return out;
}

}  // namespace qrvld
