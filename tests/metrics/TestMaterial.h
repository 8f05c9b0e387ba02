#pragma once

#include <string>

namespace qrvltest {

// The folder of make_certs.sh's certificates and keys, made once per test program and
// removed when it ends.
const std::string& certificates();

// A bcrypt hash of `password` from the system's libcrypt, at `cost`.
std::string bcrypt(const std::string& password, int cost = 4);
// The Authorization header's value that sends `credentials` ("user:password").
std::string basicAuthorization(std::string credentials);

}  // namespace qrvltest
