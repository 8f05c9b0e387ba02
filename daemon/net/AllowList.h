#pragma once

#include <string>
#include <vector>

#include "net/IpAddress.h"

namespace qrvld {

// The source addresses the daemon answers: single addresses and CIDR ranges of both
// families.
class AllowList {
 public:
  // 127.0.0.0/8 and ::1.
  static AllowList loopback();

  // Adds "ADDR" or "ADDR/LEN"; false with a reason for a malformed entry.
  bool add(const std::string& text, std::string& error);
  bool admits(const IpAddress& source) const;
  bool empty() const { return entries_.empty(); }
  std::string text() const;

 private:
  struct Entry {
    IpAddress prefix;  // host bits cleared
    int bits;          // of the 128-bit form
  };
  std::vector<Entry> entries_;
};

}  // namespace qrvld
