// The password check of the metrics endpoint, with bcrypt hashes at the lowest cost so
// that a test may spend hundreds of them.
#include "http/PasswordCheck.h"

#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "TestMaterial.h"

using qrvld::IpAddress;
using qrvld::PasswordCheck;
using qrvld::PasswordMemory;
using qrvltest::bcrypt;
using Verdict = PasswordCheck::Verdict;
using namespace std::chrono_literals;

namespace {
std::string basic(const std::string& credentials) { return qrvltest::basicAuthorization(credentials); }

IpAddress address(const char* text) {
  IpAddress out;
  if (!IpAddress::parse(text, out)) std::abort();
  return out;
}
const IpAddress kClient = address("127.0.0.1");

std::chrono::nanoseconds threadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

const std::map<std::string, std::string>& users() {
  static const std::map<std::string, std::string> kUsers = {{"alice", bcrypt("secret")}, {"bob", bcrypt("hunter2")}};
  return kUsers;
}
}  // namespace

TEST(PasswordCheck, PassesTheRightPasswordOnceAndRemembersIt) {
  PasswordMemory memory;
  PasswordCheck check(users(), memory);
  const auto now = PasswordCheck::Clock::now();

  // Each user with its own password; a scrape a second costs one bcrypt, not one each.
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), kClient, now), Verdict::Passed);
  EXPECT_EQ(check.check(basic("bob:hunter2").c_str(), kClient, now), Verdict::Passed);
  const unsigned long hashed = check.hashed();
  for (int second = 1; second <= 120; ++second) {
    EXPECT_EQ(check.check(basic("alice:secret").c_str(), kClient, now + std::chrono::seconds(second)), Verdict::Passed);
  }
  EXPECT_EQ(check.hashed(), hashed);
  // The scheme's name in any case, a header never seen is checked again.
  EXPECT_EQ(check.check(("basic" + basic("alice:secret").substr(5)).c_str(), kClient, now), Verdict::Passed);
  EXPECT_EQ(check.hashed(), hashed + 1);

  // Unused for a minute, it is forgotten: one more bcrypt.
  const auto later = now + 120s + 61s;
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), kClient, later), Verdict::Passed);
  EXPECT_EQ(check.hashed(), hashed + 2);
}

TEST(PasswordCheck, RefusesEverythingElse) {
  PasswordMemory memory;
  PasswordCheck check(users(), memory);
  const auto now = PasswordCheck::Clock::now();
  // Wrong, another user's, unknown user, a prefix, the password and more after a NUL byte.
  for (const std::string& credentials : std::initializer_list<std::string>{
           std::string("alice:Secret"), std::string("alice:hunter2"), "carol:secret", "alice:secre", "alice:secret2",
           std::string("alice:secret\0x", 14), "alice", ":secret", "alice:"}) {
    EXPECT_EQ(check.check(basic(credentials).c_str(), kClient, now), Verdict::Refused) << credentials;
  }
  // No header and malformed ones are refused without a bcrypt.
  const unsigned long hashed = check.hashed();
  for (const char* header : {"Basic", "Basic ", "Bearer abc", "Basic !!!!", "Digest username=\"alice\""}) {
    EXPECT_EQ(check.check(header, kClient, now), Verdict::Refused) << header;
  }
  EXPECT_EQ(check.check(nullptr, kClient, now), Verdict::Refused);
  EXPECT_EQ(check.hashed(), hashed);

  // Without users there is nothing to check.
  PasswordCheck open({}, memory);
  EXPECT_FALSE(open.required());
  EXPECT_EQ(open.check(nullptr, kClient, now), Verdict::Passed);
}

TEST(PasswordCheck, WrongPasswordsSpendABoundedShareOfTheProcessor) {
  constexpr auto kBudget = 30ms;
  constexpr auto kPerSecond = 10ms;
  PasswordMemory memory(kBudget, kPerSecond);
  PasswordCheck check(users(), memory);
  auto now = PasswordCheck::Clock::now();
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), kClient, now), Verdict::Passed);

  // A guesser at full speed: the processor time of the failed bcrypts stays within the
  // budget and one check more, whatever the cost of one; then they are not even tried.
  const auto cpu = threadCpu;
  std::chrono::nanoseconds spent{0};
  int busy = 0;
  for (int i = 0; i < 2000; ++i) {
    const auto start = cpu();
    const Verdict verdict = check.check(basic("alice:guess" + std::to_string(i)).c_str(), kClient, now);
    if (verdict == Verdict::Busy) {
      ++busy;
    } else {
      EXPECT_EQ(verdict, Verdict::Refused);
      spent += cpu() - start;
    }
  }
  EXPECT_GT(busy, 1000);
  EXPECT_LT(spent, kBudget * 2);
  // Meanwhile the header that passed before still does, and a new one has to wait.
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), kClient, now), Verdict::Passed);
  EXPECT_EQ(check.check(basic("bob:hunter2").c_str(), kClient, now), Verdict::Busy);

  // The budget comes back with time, at its rate and no further.
  now += 10s;
  EXPECT_EQ(check.check(basic("bob:hunter2").c_str(), kClient, now), Verdict::Passed);
  const unsigned long before = check.hashed();
  while (check.check(basic("bob:guess").c_str(), kClient, now) != Verdict::Busy) {
  }
  const unsigned long guesses = check.hashed() - before;
  now += 1s;
  const unsigned long afterSecond = check.hashed();
  while (check.check(basic("bob:guess").c_str(), kClient, now) != Verdict::Busy) {
  }
  EXPECT_LE(check.hashed() - afterSecond, guesses);
  EXPECT_GE(check.hashed() - afterSecond, 1u);
}

TEST(PasswordCheck, AGuesserSpendsItsOwnBudgetAndAReloadForgetsNoGoodHeader) {
  PasswordMemory memory(30ms, 10ms);
  auto check = std::make_unique<PasswordCheck>(users(), memory);
  const auto now = PasswordCheck::Clock::now();
  const IpAddress guesser = address("127.0.0.2");
  EXPECT_EQ(check->check(basic("bob:hunter2").c_str(), kClient, now), Verdict::Passed);

  // One address out of budget; another, and one in another IPv6 /64, still get checked,
  // while the guesser's neighbours in its /64 share its lot.
  int tries = 0;
  while (check->check(basic("alice:guess").c_str(), guesser, now) != Verdict::Busy) ASSERT_LT(++tries, 10000);
  EXPECT_EQ(check->check(basic("alice:secret").c_str(), kClient, now), Verdict::Passed);
  while (check->check(basic("alice:guess").c_str(), address("2001:db8::1"), now) != Verdict::Busy) {
  }
  EXPECT_EQ(check->check(basic("alice:other").c_str(), address("2001:db8::2"), now), Verdict::Busy);
  EXPECT_EQ(check->check(basic("alice:other").c_str(), address("2001:db8:0:1::1"), now), Verdict::Refused);

  // A reload: the headers that passed stay good while their user keeps its hash, even for
  // an address out of budget; a changed hash or a removed user needs a new check.
  while (check->check(basic("alice:guess").c_str(), kClient, now) != Verdict::Busy) {
  }
  std::map<std::string, std::string> reloaded = users();
  reloaded["bob"] = bcrypt("hunter2");
  reloaded["carol"] = bcrypt("carol");
  check = std::make_unique<PasswordCheck>(reloaded, memory);
  const unsigned long hashed = check->hashed();
  EXPECT_EQ(check->check(basic("alice:secret").c_str(), kClient, now), Verdict::Passed);
  EXPECT_EQ(check->check(basic("bob:hunter2").c_str(), kClient, now), Verdict::Busy);
  EXPECT_EQ(check->hashed(), hashed);
  check = std::make_unique<PasswordCheck>(std::map<std::string, std::string>{{"bob", users().at("bob")}}, memory);
  EXPECT_EQ(check->check(basic("alice:secret").c_str(), kClient, now), Verdict::Busy);
}

TEST(PasswordCheck, AnUnknownUserCostsWhatTheDearestKnownOneDoes) {
  PasswordMemory memory(100s, 100s);
  const std::map<std::string, std::string> mixed = {{"alice", bcrypt("secret", 4)}, {"bob", bcrypt("hunter2", 9)}};
  PasswordCheck check(mixed, memory);
  const auto now = PasswordCheck::Clock::now();
  const auto cost = [&](const std::string& credentials) {
    const auto start = threadCpu();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(check.check(basic(credentials).c_str(), kClient, now), Verdict::Refused);
    return std::chrono::duration<double>(threadCpu() - start).count();
  };
  const double known = cost("bob:wrong");
  const double unknown = cost("zed:wrong");
  EXPECT_GT(unknown, known * 0.6) << unknown << " s against " << known << " s";
  EXPECT_LT(unknown, known * 1.6) << unknown << " s against " << known << " s";
}
