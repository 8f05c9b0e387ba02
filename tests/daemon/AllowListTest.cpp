// Range matching beyond what loopback can show: random prefixes of both families, each
// checked at its boundary as chrony checks its address filter, and the forms of an entry.
#include <gtest/gtest.h>

#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "net/AllowList.h"

using qrvld::AllowList;
using qrvld::IpAddress;

namespace {
bool admits(const AllowList& list, const char* text) {
  IpAddress address;
  EXPECT_TRUE(IpAddress::parse(text, address)) << text;
  return list.admits(address);
}

// The address of these 16 bytes: IPv4 within ::ffff:0:0/96, as sources arrive.
IpAddress fromBytes(const std::uint8_t* bytes) {
  sockaddr_in6 sa{};
  sa.sin6_family = AF_INET6;
  std::memcpy(&sa.sin6_addr, bytes, 16);
  return IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&sa));
}
}  // namespace

TEST(AllowList, AdmitsEachPrefixUpToItsLastBit) {
  std::mt19937 random(21);
  std::string error;
  for (int round = 0; round < 2000; ++round) {
    const bool v4 = round % 2 == 0;
    const int first = v4 ? 96 : 0;  // where the family's bits start in the 128-bit form
    const int bits = std::uniform_int_distribution<int>(1, 128 - first)(random);
    std::uint8_t entry[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    for (int i = first / 8; i < 16; ++i) entry[i] = static_cast<std::uint8_t>(random());
    AllowList list;
    const std::string text = fromBytes(entry).text() + "/" + std::to_string(bits);
    ASSERT_TRUE(list.add(text, error)) << text;
    // The entry's host bits are dropped.
    EXPECT_EQ(list.text(), fromBytes(entry).masked(first + bits).text() + "/" + std::to_string(bits));

    // The prefix with host bits at random, all clear and all set is admitted; with the
    // last bit of the prefix flipped it is not.
    for (int hosts : {-1, 0, 0xff}) {
      std::uint8_t member[16];
      for (int i = 0; i < 16; ++i) {
        const auto prefix = static_cast<std::uint8_t>(0xff00 >> std::clamp(first + bits - 8 * i, 0, 8));
        const auto host = static_cast<std::uint8_t>(hosts < 0 ? random() : hosts);
        member[i] = static_cast<std::uint8_t>((entry[i] & prefix) | (host & ~prefix));
      }
      EXPECT_TRUE(list.admits(fromBytes(member))) << text << " " << fromBytes(member).text();
      member[(first + bits - 1) / 8] ^= static_cast<std::uint8_t>(0x80 >> (first + bits - 1) % 8);
      EXPECT_FALSE(list.admits(fromBytes(member))) << text << " " << fromBytes(member).text();
    }
  }
}

TEST(AllowList, TakesEveryFormOfEntryAndRefusesMalformedOnes) {
  std::string error;
  AllowList list;
  ASSERT_TRUE(list.add("10.1.2.3", error));
  ASSERT_TRUE(list.add("[fe80::1]", error));
  ASSERT_TRUE(list.add("172.16.5.4/12", error));
  ASSERT_TRUE(list.add("0.0.0.0/0", error));
  EXPECT_EQ(list.text(), "10.1.2.3/32 fe80::1/128 172.16.0.0/12 0.0.0.0/0");
  EXPECT_TRUE(admits(list, "fe80::1"));
  EXPECT_FALSE(admits(list, "fe80::2"));
  // /0 spans its own family only, and an IPv4 source seen through an IPv6 socket is the
  // same source.
  EXPECT_TRUE(admits(list, "203.0.113.9"));
  EXPECT_TRUE(admits(list, "::ffff:203.0.113.9"));
  EXPECT_FALSE(admits(list, "2001:db8::1"));

  for (const char* bad : {"", "/8", "10.0.0.0/", "10.0.0.0/33", "10.0.0.0/-1", "10.0.0.0/8x", "::/129",
                          "host.example", "10.0.0.256"}) {
    error.clear();
    EXPECT_FALSE(list.add(bad, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}
