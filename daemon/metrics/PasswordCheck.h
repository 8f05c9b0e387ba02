#pragma once

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct crypt_data;

namespace qrvld {

// Basic authentication against bcrypt hashes with the system's crypt_r. A bcrypt costs
// tens of milliseconds by design, so a header that passed is remembered for as long as it
// keeps coming (a scrape every second costs one bcrypt, not one a second), and the CPU
// time that failed checks may take is a budget that refills slowly: beyond it, headers not
// remembered are turned away unchecked. Used by one thread at a time.
class PasswordCheck {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Verdict { Passed, Refused, Busy };

  // `users` maps a name to its bcrypt hash. Failed checks may spend `budget` of CPU time
  // at once and `perSecond` more each second.
  explicit PasswordCheck(std::map<std::string, std::string> users,
                         std::chrono::microseconds budget = std::chrono::milliseconds(500),
                         std::chrono::microseconds perSecond = std::chrono::milliseconds(100));
  ~PasswordCheck();
  PasswordCheck(const PasswordCheck&) = delete;
  PasswordCheck& operator=(const PasswordCheck&) = delete;

  // Whether any user is configured: without one every request passes.
  bool required() const { return !users_.empty(); }
  // The verdict on an Authorization header's value (nullptr when there is none).
  Verdict check(const char* authorization, Clock::time_point now);
  // Checks that ran crypt_r, for the tests and the benchmark.
  unsigned long hashed() const { return hashed_; }

 private:
  using Digest = std::array<unsigned char, 32>;
  struct Remembered {
    Digest digest;
    Clock::time_point until;
  };

  bool verify(const std::string& user, const std::string& password);

  std::map<std::string, std::string> users_;
  std::vector<Remembered> remembered_;
  std::unique_ptr<crypt_data> scratch_;
  std::chrono::microseconds budget_;
  std::chrono::microseconds perSecond_;
  std::chrono::duration<double, std::micro> left_;
  Clock::time_point refilled_;
  unsigned long hashed_ = 0;
};

}  // namespace qrvld
