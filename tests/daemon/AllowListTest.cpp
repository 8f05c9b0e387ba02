// Range matching beyond what loopback can show: other networks, both families.
#include <gtest/gtest.h>

#include "AllowList.h"

using qrvld::AllowList;
using qrvld::IpAddress;

namespace {
bool admits(const AllowList& list, const char* text) {
  IpAddress address;
  EXPECT_TRUE(IpAddress::parse(text, address)) << text;
  return list.admits(address);
}
}  // namespace

TEST(AllowList, MatchesAddressesAndRanges) {
  std::string error;
  AllowList list;
  ASSERT_TRUE(list.add("192.168.1.0/24", error));
  ASSERT_TRUE(list.add("10.1.2.3", error));
  ASSERT_TRUE(list.add("2001:db8::/32", error));
  ASSERT_TRUE(list.add("[fe80::1]", error));

  // IPv4 ranges and single addresses.
  EXPECT_TRUE(admits(list, "192.168.1.0"));
  EXPECT_TRUE(admits(list, "192.168.1.255"));
  EXPECT_FALSE(admits(list, "192.168.2.1"));
  EXPECT_TRUE(admits(list, "10.1.2.3"));
  EXPECT_FALSE(admits(list, "10.1.2.4"));
  // IPv6 ranges and single addresses.
  EXPECT_TRUE(admits(list, "2001:db8:ffff::1"));
  EXPECT_FALSE(admits(list, "2001:db9::1"));
  EXPECT_TRUE(admits(list, "fe80::1"));
  EXPECT_FALSE(admits(list, "fe80::2"));
  // An IPv4 source seen through an IPv6 socket is the same source.
  EXPECT_TRUE(admits(list, "::ffff:192.168.1.7"));

  // Host bits of a range are ignored; /0 spans its own family only.
  AllowList any;
  ASSERT_TRUE(any.add("172.16.5.4/12", error));
  ASSERT_TRUE(any.add("0.0.0.0/0", error));
  EXPECT_EQ(any.text(), "172.16.0.0/12 0.0.0.0/0");
  EXPECT_TRUE(admits(any, "203.0.113.9"));
  EXPECT_FALSE(admits(any, "2001:db8::1"));

  // Malformed entries are refused with a reason.
  for (const char* bad : {"", "/8", "10.0.0.0/", "10.0.0.0/33", "10.0.0.0/-1", "10.0.0.0/8x", "::/129",
                          "host.example", "10.0.0.256"}) {
    error.clear();
    EXPECT_FALSE(any.add(bad, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}
