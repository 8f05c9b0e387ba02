#pragma once

#include <map>
#include <string>
#include <vector>

namespace qrvld {

// Which client certificates a TLS endpoint asks for, by the names of the exporters' web
// configuration file. The two that take a certificate without checking it are left out:
// they add nothing to a password.
enum class ClientAuth { None, VerifyIfGiven, RequireAndVerify };

// The exporters' web configuration file (--web.config.file of the node exporter), as qrvld
// serves its metrics with it: TLS, client certificates and Basic authentication. The
// files it names are held by content, so that two readings compare equal only when a
// reload would change nothing.
struct WebConfig {
  std::string path;  // empty: plain HTTP, no passwords
  bool tls = false;
  std::string certPem;
  std::string keyPem;
  std::string clientCaPem;  // empty unless clientAuth verifies
  ClientAuth clientAuth = ClientAuth::None;
  int minVersion = 12;  // TLS 1.2 and 1.3 only: 12 or 13
  int maxVersion = 13;
  std::vector<std::string> cipherSuites;  // cipher_suites as given, by Go's names
  std::vector<std::string> ciphers;       // what they allow on TLS 1.2, by GnuTLS's names
  std::map<std::string, std::string> users;  // user name to bcrypt hash

  bool operator==(const WebConfig& other) const;
  bool operator!=(const WebConfig& other) const { return !(*this == other); }
  // "https, TLS 1.2-1.3, client certificates required, 2 users", for the log.
  std::string summary() const;
  // The GnuTLS priority string: the versions, and on TLS 1.2 only ECDHE with AES-GCM or
  // ChaCha20-Poly1305 (with cipher_suites, those of them it lists).
  std::string priorities() const;
};

// Reads the YAML file at `path` with libyaml. Unknown keys, keys qrvld does not support,
// values of the wrong type, unreadable files and a key that does not fit its certificate
// are refused with "PATH:LINE: reason". Relative file names are taken from the file's
// folder, as the exporters take them.
bool readWebConfig(const std::string& path, WebConfig& config, std::string& error);

}  // namespace qrvld
