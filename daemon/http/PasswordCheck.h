#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "http/PasswordMemory.h"
#include "net/IpAddress.h"

struct crypt_data;

namespace qrvld {

// Basic authentication against bcrypt hashes with the system's crypt_r. A bcrypt costs
// tens of milliseconds by design, so a header that passed is remembered for as long as it
// keeps coming (a scrape every second costs one bcrypt, not one a second), and the CPU
// time that failed checks may take is a budget per client address that refills slowly:
// beyond it, that client's headers not remembered are turned away unchecked. One per
// server, used by its one thread; what outlives a reload is in the shared memory.
class PasswordCheck {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Verdict { Passed, Refused, Busy };

  // `users` maps a name to its bcrypt hash, as the web configuration reader accepts it.
  PasswordCheck(std::map<std::string, std::string> users, PasswordMemory& memory);
  ~PasswordCheck();
  PasswordCheck(const PasswordCheck&) = delete;
  PasswordCheck& operator=(const PasswordCheck&) = delete;

  // Whether any user is configured: without one every request passes.
  bool required() const { return !users_.empty(); }
  // The verdict on an Authorization header's value (nullptr when there is none) from `client`.
  Verdict check(const char* authorization, const IpAddress& client, Clock::time_point now);
  // Checks that ran crypt_r, for the tests and the benchmark.
  unsigned long hashed() const { return hashed_; }

 private:
  bool verify(const std::string& user, const std::string& password);

  std::map<std::string, std::string> users_;
  PasswordMemory& memory_;
  // An unknown user is checked against this: a salt of the highest cost among the users,
  // so that no name answers sooner for not existing.
  std::string dummy_;
  std::unique_ptr<crypt_data> scratch_;
  unsigned long hashed_ = 0;
};

}  // namespace qrvld
