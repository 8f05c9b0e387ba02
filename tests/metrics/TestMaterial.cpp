#include "TestMaterial.h"

#include <crypt.h>
#include <gnutls/gnutls.h>
#include <stdlib.h>

#include <cstdlib>

#include "TempFiles.h"

namespace qrvltest {

const std::string& certificates() {
  static const std::string folder = [] {
    const std::string made = tempFolder("qrvl-certs");
    if (std::system(("bash " QRVL_MAKE_CERTS " " + made).c_str()) != 0) std::abort();
    static const std::string removed = made;
    std::atexit([] { std::system(("rm -rf " + removed).c_str()); });
    return made;
  }();
  return folder;
}

std::string bcrypt(const std::string& password, int cost) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  crypt_data data{};
  if (crypt_gensalt_rn("$2b$", cost, nullptr, 0, salt, sizeof salt) == nullptr) std::abort();
  return crypt_r(password.c_str(), salt, &data);
}

std::string basicAuthorization(std::string credentials) {
  const gnutls_datum_t in{reinterpret_cast<unsigned char*>(credentials.data()),
                          static_cast<unsigned>(credentials.size())};
  gnutls_datum_t out{};
  if (gnutls_base64_encode2(&in, &out) != 0) std::abort();
  const std::string header = "Basic " + std::string(reinterpret_cast<const char*>(out.data), out.size);
  gnutls_free(out.data);
  return header;
}

}  // namespace qrvltest
