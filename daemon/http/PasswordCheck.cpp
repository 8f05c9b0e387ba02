#include "http/PasswordCheck.h"

#include <crypt.h>
#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <strings.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace qrvld {

namespace {
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

PasswordCheck::PasswordCheck(std::map<std::string, std::string> users, PasswordMemory& memory)
    : users_(std::move(users)), memory_(memory), scratch_(std::make_unique<crypt_data>()) {
  int cost = 0;
  for (const auto& [user, hash] : users_) cost = std::max(cost, std::atoi(hash.substr(4, 2).c_str()));
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  // Only the salt: crypt_r takes its cost from it, and the check fails whatever it gives.
  if (cost > 0 && crypt_gensalt_rn("$2b$", static_cast<unsigned long>(cost), nullptr, 0, salt, sizeof salt) != nullptr)
    dummy_ = salt;
}

PasswordCheck::~PasswordCheck() = default;

PasswordCheck::Verdict PasswordCheck::check(const char* authorization, const IpAddress& client,
                                            Clock::time_point now) {
  if (users_.empty()) return Verdict::Passed;
  if (authorization == nullptr) return Verdict::Refused;
  PasswordMemory::Digest digest{};
  gnutls_hash_fast(GNUTLS_DIG_SHA256, authorization, std::strlen(authorization), digest.data());
  if (memory_.recalls(digest, users_, now)) return Verdict::Passed;
  if (!memory_.mayTry(client, now)) return Verdict::Busy;
  std::string user;
  std::string password;
  if (!decodeBasic(authorization, user, password)) return Verdict::Refused;
  const auto start = threadCpu();
  const bool passed = verify(user, password);
  if (!passed) {
    memory_.spend(client, threadCpu() - start, now);
    return Verdict::Refused;
  }
  memory_.remember(digest, user, users_.at(user), now);
  return Verdict::Passed;
}

bool PasswordCheck::verify(const std::string& user, const std::string& password) {
  const auto found = users_.find(user);
  const std::string& hash = found != users_.end() ? found->second : dummy_;
  ++hashed_;
  const char* result = crypt_r(password.c_str(), hash.c_str(), scratch_.get());
  return result != nullptr && found != users_.end() && sameBytes(result, hash);
}

}  // namespace qrvld
