#include "metrics/PasswordCheck.h"

#include <crypt.h>
#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <strings.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace qrvld {

namespace {
// Enough for every Prometheus server and person that scrapes one daemon.
constexpr std::size_t kRemembered = 16;
// A header not seen for this long is checked again; Prometheus scrapes far more often.
constexpr auto kRememberFor = std::chrono::seconds(60);

std::chrono::nanoseconds threadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// "Basic base64(user:password)", the scheme's name in any case.
bool decodeBasic(const char* header, std::string& user, std::string& password) {
  if (strncasecmp(header, "Basic ", 6) != 0) return false;
  const char* encoded = header + 6;
  while (*encoded == ' ') ++encoded;
  const gnutls_datum_t in{reinterpret_cast<unsigned char*>(const_cast<char*>(encoded)),
                          static_cast<unsigned>(std::strlen(encoded))};
  gnutls_datum_t out{};
  if (in.size == 0 || gnutls_base64_decode2(&in, &out) < 0) return false;
  const std::string text(reinterpret_cast<const char*>(out.data), out.size);
  gnutls_free(out.data);
  const auto colon = text.find(':');
  // crypt_r reads up to a NUL, which would make "secret\0anything" pass as "secret".
  if (colon == std::string::npos || text.find('\0') != std::string::npos) return false;
  user = text.substr(0, colon);
  password = text.substr(colon + 1);
  return true;
}

// Every byte looked at whatever the first difference, so the time says nothing of where
// the hashes part.
bool sameBytes(const char* a, const std::string& b) {
  if (std::strlen(a) != b.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < b.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}
}  // namespace

PasswordCheck::PasswordCheck(std::map<std::string, std::string> users, std::chrono::microseconds budget,
                             std::chrono::microseconds perSecond)
    : users_(std::move(users)),
      scratch_(std::make_unique<crypt_data>()),
      budget_(budget),
      perSecond_(perSecond),
      left_(budget),
      refilled_(Clock::now()) {}

PasswordCheck::~PasswordCheck() = default;

PasswordCheck::Verdict PasswordCheck::check(const char* authorization, Clock::time_point now) {
  if (now > refilled_) {
    const std::chrono::duration<double> elapsed = now - refilled_;
    left_ = std::min<std::chrono::duration<double, std::micro>>(budget_, left_ + perSecond_ * elapsed.count());
    refilled_ = now;
  }
  if (users_.empty()) return Verdict::Passed;
  if (authorization == nullptr) return Verdict::Refused;
  Digest digest{};
  gnutls_hash_fast(GNUTLS_DIG_SHA256, authorization, std::strlen(authorization), digest.data());
  for (Remembered& r : remembered_) {
    if (r.digest == digest && r.until > now) {
      r.until = now + kRememberFor;
      return Verdict::Passed;
    }
  }
  if (left_.count() <= 0) return Verdict::Busy;
  std::string user;
  std::string password;
  if (!decodeBasic(authorization, user, password)) return Verdict::Refused;
  const auto start = threadCpu();
  const bool passed = verify(user, password);
  if (!passed) {
    left_ -= threadCpu() - start;
    return Verdict::Refused;
  }
  remembered_.erase(
      std::remove_if(remembered_.begin(), remembered_.end(), [now](const Remembered& r) { return r.until <= now; }),
      remembered_.end());
  if (remembered_.size() >= kRemembered) {
    remembered_.erase(std::min_element(remembered_.begin(), remembered_.end(),
                                       [](const Remembered& a, const Remembered& b) { return a.until < b.until; }));
  }
  remembered_.push_back({digest, now + kRememberFor});
  return Verdict::Passed;
}

bool PasswordCheck::verify(const std::string& user, const std::string& password) {
  // An unknown user is checked against a real hash too, so the time taken does not tell
  // which names exist.
  const auto found = users_.find(user);
  const std::string& hash = found != users_.end() ? found->second : users_.begin()->second;
  ++hashed_;
  const char* result = crypt_r(password.c_str(), hash.c_str(), scratch_.get());
  return result != nullptr && sameBytes(result, hash) && found != users_.end();
}

}  // namespace qrvld
