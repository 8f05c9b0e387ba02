#include "TestMaterial.h"

#include <crypt.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>

namespace qrvltest {

const std::string& certificates() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/qrvl-certs-XXXXXX";
    const std::string made = mkdtemp(pattern);
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

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
}

}  // namespace qrvltest
