#pragma once

#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "net/IpAddress.h"

namespace qrvld {

// What the password checks of the metrics endpoint keep between requests, and between the
// servers that a reload replaces: the headers that passed, and for each client address the
// processor time its failed checks may still take. A guesser spends its own budget only,
// so it cannot lock another address out; a header stays remembered across a reload while
// its user keeps the same hash. Thread-safe: an old server may still be finishing while
// the new one serves; no lock is held while bcrypt runs.
class PasswordMemory {
 public:
  using Clock = std::chrono::steady_clock;
  using Digest = std::array<unsigned char, 32>;

  // Failed checks of one address may spend `budget` of CPU time at once and `perSecond`
  // more each second.
  explicit PasswordMemory(std::chrono::microseconds budget = std::chrono::milliseconds(500),
                          std::chrono::microseconds perSecond = std::chrono::milliseconds(100));

  // Whether the header with `digest` passed within the last minute for a user that `users`
  // still gives the same hash; renews it.
  bool recalls(const Digest& digest, const std::map<std::string, std::string>& users, Clock::time_point now);
  void remember(const Digest& digest, const std::string& user, const std::string& hash, Clock::time_point now);
  // Whether `client` has budget left for a check that may fail.
  bool mayTry(const IpAddress& client, Clock::time_point now);
  // Charges a failed check's CPU time to `client`.
  void spend(const IpAddress& client, std::chrono::nanoseconds cpu, Clock::time_point now);

 private:
  struct Remembered {
    Digest digest;
    std::string user;
    std::string hash;
    Clock::time_point until;
  };
  struct Budget {
    IpAddress key;
    double leftUs;
    Clock::time_point refilled;
  };

  // The budget of `client` brought up to `now`: IPv6 clients by their /64, as one host may
  // hold all of it; when the table is full of spending addresses, new ones share the last.
  Budget& budgetOf(const IpAddress& client, Clock::time_point now);

  std::mutex mutex_;
  std::vector<Remembered> remembered_;
  std::vector<Budget> budgets_;
  double budgetUs_;
  double perSecondUs_;
};

}  // namespace qrvld
