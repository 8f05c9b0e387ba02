#include "http/PasswordMemory.h"

#include <algorithm>

namespace qrvld {

namespace {
// Enough for every Prometheus server and person that scrapes one daemon.
constexpr std::size_t kRemembered = 16;
// A header not seen for this long is checked again; Prometheus scrapes far more often.
constexpr auto kRememberFor = std::chrono::seconds(60);
// Addresses with a budget of their own; a full budget needs no entry, so only those that
// failed within the last few seconds take one.
constexpr std::size_t kAddresses = 256;
}  // namespace

PasswordMemory::PasswordMemory(std::chrono::microseconds budget, std::chrono::microseconds perSecond)
    : budgetUs_(static_cast<double>(budget.count())), perSecondUs_(static_cast<double>(perSecond.count())) {}

bool PasswordMemory::recalls(const Digest& digest, const std::map<std::string, std::string>& users,
                             Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Remembered& r : remembered_) {
    if (r.digest != digest || r.until <= now) continue;
    const auto user = users.find(r.user);
    if (user == users.end() || user->second != r.hash) return false;
    r.until = now + kRememberFor;
    return true;
  }
  return false;
}

void PasswordMemory::remember(const Digest& digest, const std::string& user, const std::string& hash,
                              Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  remembered_.erase(std::remove_if(remembered_.begin(), remembered_.end(),
                                   [&](const Remembered& r) { return r.until <= now || r.digest == digest; }),
                    remembered_.end());
  if (remembered_.size() >= kRemembered) {
    remembered_.erase(std::min_element(remembered_.begin(), remembered_.end(),
                                       [](const Remembered& a, const Remembered& b) { return a.until < b.until; }));
  }
  remembered_.push_back({digest, user, hash, now + kRememberFor});
}

PasswordMemory::Budget& PasswordMemory::budgetOf(const IpAddress& client, Clock::time_point now) {
  const IpAddress key = client.isV4() ? client : client.masked(64);
  const auto refill = [&](Budget& b) {
    if (now > b.refilled) {
      const std::chrono::duration<double> elapsed = now - b.refilled;
      b.leftUs = std::min(budgetUs_, b.leftUs + perSecondUs_ * elapsed.count());
      b.refilled = now;
    }
  };
  for (Budget& b : budgets_) {
    if (b.key == key) {
      refill(b);
      return b;
    }
  }
  if (budgets_.size() >= kAddresses) {
    for (Budget& b : budgets_) refill(b);
    budgets_.erase(std::remove_if(budgets_.begin(), budgets_.end(), [&](const Budget& b) { return b.leftUs >= budgetUs_; }),
                   budgets_.end());
  }
  if (budgets_.size() >= kAddresses) return budgets_.back();
  budgets_.push_back({key, budgetUs_, now});
  return budgets_.back();
}

bool PasswordMemory::mayTry(const IpAddress& client, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  return budgetOf(client, now).leftUs > 0;
}

void PasswordMemory::spend(const IpAddress& client, std::chrono::nanoseconds cpu, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  Budget& b = budgetOf(client, now);
  b.leftUs -= std::chrono::duration<double, std::micro>(cpu).count();
}

}  // namespace qrvld
