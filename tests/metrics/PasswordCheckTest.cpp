// The password check of the metrics endpoint, with bcrypt hashes at the lowest cost so
// that a test may spend hundreds of them.
#include "metrics/PasswordCheck.h"

#include <gnutls/gnutls.h>
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>

#include "TestMaterial.h"

using qrvld::PasswordCheck;
using qrvltest::bcrypt;
using Verdict = PasswordCheck::Verdict;
using namespace std::chrono_literals;

namespace {
// The Authorization header that sends `credentials`.
std::string basic(std::string credentials) {
  const gnutls_datum_t in{reinterpret_cast<unsigned char*>(credentials.data()),
                          static_cast<unsigned>(credentials.size())};
  gnutls_datum_t out{};
  if (gnutls_base64_encode2(&in, &out) != 0) std::abort();
  const std::string header = "Basic " + std::string(reinterpret_cast<const char*>(out.data), out.size);
  gnutls_free(out.data);
  return header;
}

const std::map<std::string, std::string>& users() {
  static const std::map<std::string, std::string> kUsers = {{"alice", bcrypt("secret")}, {"bob", bcrypt("hunter2")}};
  return kUsers;
}
}  // namespace

TEST(PasswordCheck, PassesTheRightPasswordOnceAndRemembersIt) {
  PasswordCheck check(users());
  const auto now = PasswordCheck::Clock::now();

  // Each user with its own password; a scrape a second costs one bcrypt, not one each.
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), now), Verdict::Passed);
  EXPECT_EQ(check.check(basic("bob:hunter2").c_str(), now), Verdict::Passed);
  const unsigned long hashed = check.hashed();
  for (int second = 1; second <= 120; ++second) {
    EXPECT_EQ(check.check(basic("alice:secret").c_str(), now + std::chrono::seconds(second)), Verdict::Passed);
  }
  EXPECT_EQ(check.hashed(), hashed);
  // The scheme's name in any case, a header never seen is checked again.
  EXPECT_EQ(check.check(("basic" + basic("alice:secret").substr(5)).c_str(), now), Verdict::Passed);
  EXPECT_EQ(check.hashed(), hashed + 1);

  // Unused for a minute, it is forgotten: one more bcrypt.
  const auto later = now + 120s + 61s;
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), later), Verdict::Passed);
  EXPECT_EQ(check.hashed(), hashed + 2);
}

TEST(PasswordCheck, RefusesEverythingElse) {
  PasswordCheck check(users());
  const auto now = PasswordCheck::Clock::now();
  // Wrong, another user's, unknown user, a prefix, the password and more after a NUL byte.
  for (const std::string& credentials : std::initializer_list<std::string>{
           std::string("alice:Secret"), std::string("alice:hunter2"), "carol:secret", "alice:secre", "alice:secret2",
           std::string("alice:secret\0x", 14), "alice", ":secret", "alice:"}) {
    EXPECT_EQ(check.check(basic(credentials).c_str(), now), Verdict::Refused) << credentials;
  }
  // No header and malformed ones are refused without a bcrypt.
  const unsigned long hashed = check.hashed();
  for (const char* header : {"Basic", "Basic ", "Bearer abc", "Basic !!!!", "Digest username=\"alice\""}) {
    EXPECT_EQ(check.check(header, now), Verdict::Refused) << header;
  }
  EXPECT_EQ(check.check(nullptr, now), Verdict::Refused);
  EXPECT_EQ(check.hashed(), hashed);

  // Without users there is nothing to check.
  PasswordCheck open({});
  EXPECT_FALSE(open.required());
  EXPECT_EQ(open.check(nullptr, now), Verdict::Passed);
}

TEST(PasswordCheck, WrongPasswordsSpendABoundedShareOfTheProcessor) {
  constexpr auto kBudget = 30ms;
  constexpr auto kPerSecond = 10ms;
  PasswordCheck check(users(), kBudget, kPerSecond);
  auto now = PasswordCheck::Clock::now();
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), now), Verdict::Passed);

  // A guesser at full speed: the processor time of the failed bcrypts stays within the
  // budget and one check more, whatever the cost of one; then they are not even tried.
  const auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
  };
  std::chrono::nanoseconds spent{0};
  int busy = 0;
  for (int i = 0; i < 2000; ++i) {
    const auto start = cpu();
    const Verdict verdict = check.check(basic("alice:guess" + std::to_string(i)).c_str(), now);
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
  EXPECT_EQ(check.check(basic("alice:secret").c_str(), now), Verdict::Passed);
  EXPECT_EQ(check.check(basic("bob:hunter2").c_str(), now), Verdict::Busy);

  // The budget comes back with time, at its rate and no further.
  now += 10s;
  EXPECT_EQ(check.check(basic("bob:hunter2").c_str(), now), Verdict::Passed);
  const unsigned long before = check.hashed();
  while (check.check(basic("bob:guess").c_str(), now) != Verdict::Busy) {
  }
  const unsigned long guesses = check.hashed() - before;
  now += 1s;
  const unsigned long afterSecond = check.hashed();
  while (check.check(basic("bob:guess").c_str(), now) != Verdict::Busy) {
  }
  EXPECT_LE(check.hashed() - afterSecond, guesses);
  EXPECT_GE(check.hashed() - afterSecond, 1u);
}
