// The exporters' web configuration file as qrvld reads it: real files next to real
// certificates, and the refusals with the line a user has to look at.
#include "http/WebConfig.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "TempFiles.h"
#include "TestMaterial.h"

using qrvld::ClientAuth;
using qrvld::WebConfig;
using qrvltest::certificates;
using qrvltest::writeFile;

TEST(WebConfig, ReadsTlsClientCertificatesAndUsers) {
  const std::string dir = certificates();
  const std::string hash = qrvltest::bcrypt("secret");
  const std::string path = dir + "/full.yml";
  // Names relative to the file's folder, one absolute; comments and quoting as YAML has them.
  const std::string tls = "tls_server_config:\n  cert_file: server.crt\n  key_file: \"" + dir + "/server.key\"\n";
  writeFile(path, "# as the node exporter takes it\n" + tls + "  client_auth_type: RequireAndVerifyClientCert\n" +
                      "  client_ca_file: 'ca.crt'\n  min_version: TLS13\nbasic_auth_users:\n  alice: " + hash +
                      "\n  bob: '" + hash + "'\n");
  WebConfig config;
  std::string error;
  ASSERT_TRUE(qrvld::readWebConfig(path, config, error)) << error;
  EXPECT_TRUE(config.tls);
  EXPECT_NE(config.certPem.find("BEGIN CERTIFICATE"), std::string::npos);
  EXPECT_NE(config.keyPem.find("PRIVATE KEY"), std::string::npos);
  EXPECT_NE(config.clientCaPem.find("BEGIN CERTIFICATE"), std::string::npos);
  EXPECT_EQ(config.clientAuth, ClientAuth::RequireAndVerify);
  EXPECT_EQ(config.priorities().rfind("NORMAL:-VERS-ALL:+VERS-TLS1.3:-KX-ALL:", 0), 0u) << config.priorities();
  EXPECT_EQ(config.users.size(), 2u);
  EXPECT_EQ(config.users.at("bob"), hash);
  EXPECT_EQ(config.summary(), "https, TLS 1.3, client certificates required, 2 users");

  // Read again it compares equal; a changed certificate file does not.
  WebConfig again;
  ASSERT_TRUE(qrvld::readWebConfig(path, again, error)) << error;
  EXPECT_TRUE(again == config);
  writeFile(dir + "/swap.yml", "tls_server_config:\n  cert_file: renewed.crt\n  key_file: renewed.key\n");
  ASSERT_TRUE(qrvld::readWebConfig(dir + "/swap.yml", again, error)) << error;
  EXPECT_EQ(again.priorities().rfind("NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-KX-ALL:", 0), 0u);
  WebConfig other;
  writeFile(dir + "/swap.yml", "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n");
  ASSERT_TRUE(qrvld::readWebConfig(dir + "/swap.yml", other, error)) << error;
  EXPECT_TRUE(other != again);

  // An empty file, like an empty TLS section, is plain HTTP without passwords.
  for (const char* text : {"", "# nothing\n", "tls_server_config:\nbasic_auth_users: {}\n"}) {
    writeFile(path, text);
    ASSERT_TRUE(qrvld::readWebConfig(path, config, error)) << text << error;
    EXPECT_FALSE(config.tls);
    EXPECT_TRUE(config.users.empty());
    EXPECT_EQ(config.summary(), "http, no passwords");
  }
}

TEST(WebConfig, RefusesWhatItCannotHonourWithItsLine) {
  const std::string dir = certificates();
  const std::string path = dir + "/broken.yml";
  const std::string tls = "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n";
  const struct {
    std::string text;
    int line;
    const char* reason;
  } kCases[] = {
      // Keys: unknown, misspelt, known to the exporters but not done here, twice.
      {"tls_server_config:\n  cert_file: server.crt\n  keyfile: server.key\n", 3, "unknown key keyfile"},
      {"basic_auth:\n  alice: x\n", 1, "unknown key basic_auth"},
      {tls + "  curve_preferences: [X25519]\n", 4, "curve_preferences is not supported"},
      // A value quoted in the reason stays on its line.
      {tls + "  min_version: \"TLS\\n12\\x01\"\n", 4, "min_version \"TLS\\n12\\x01\": expected TLS12"},
      {"http_server_config:\n  http2: false\n", 1, "http_server_config is not supported"},
      {tls + "  cert_file: other.crt\n", 4, "cert_file given twice"},
      // Types.
      {"tls_server_config: [server.crt]\n", 1, "tls_server_config: expected a mapping"},
      {"tls_server_config:\n  cert_file:\n    - server.crt\n  key_file: server.key\n", 3,
       "cert_file: expected a string"},
      {"- a\n- b\n", 1, "the file: expected a mapping"},
      {"basic_auth_users:\n  alice: secret\n", 2, "expected a bcrypt hash"},
      {"basic_auth_users:\n  alice:\n", 2, "expected a bcrypt hash"},
      {"basic_auth_users:\n  alice: $2y$99$" + std::string(53, 'a') + "\n", 2, "expected a bcrypt hash"},
      {"basic_auth_users:\n  bob: $2y$13$" + std::string(53, 'a') + "\n", 2, "bcrypt cost 13 is above 12"},
      // Suites: Go's names, those without forward secrecy or an AEAD cipher refused.
      {tls + "  cipher_suites: [TLS_RSA_WITH_AES_128_GCM_SHA256]\n", 4, "offers TLS 1.2 only with ECDHE"},
      {tls + "  cipher_suites: [TLS_ECDHE_ECDSA_WITH_AES_128_CBC_SHA]\n", 4, "offers TLS 1.2 only with ECDHE"},
      {tls + "  cipher_suites: [AES128-GCM-SHA256]\n", 4, "unknown suite AES128-GCM-SHA256"},
      {tls + "  cipher_suites: TLS_AES_128_GCM_SHA256\n", 4, "expected a list"},
      {tls + "  cipher_suites: [TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256]\n", 4, "no TLS 1.2 suite for the certificate's ECDSA key"},
      // Values.
      {tls + "  min_version: TLS11\n", 4, "TLS 1.2 and 1.3 only"},
      {tls + "  min_version: TLS14\n", 4, "expected TLS12 or TLS13"},
      {tls + "  min_version: TLS13\n  max_version: TLS12\n", 1, "min_version is above max_version"},
      {tls + "  client_auth_type: RequireAnyClientCert\n  client_ca_file: ca.crt\n", 4, "checks the certificates"},
      {tls + "  client_auth_type: Sometimes\n", 4, "expected NoClientCert"},
      {tls + "  client_auth_type: RequireAndVerifyClientCert\n", 4, "needs a client_ca_file"},
      {tls + "  client_ca_file: ca.crt\n", 4, "without a client_auth_type"},
      // Files: missing, a folder, one without the other, a key of another certificate, no CA in it.
      {"tls_server_config:\n  cert_file: missing.crt\n  key_file: server.key\n", 2, "missing.crt: No such file"},
      {"tls_server_config:\n  cert_file: .\n  key_file: server.key\n", 2, "not a regular file"},
      {"tls_server_config:\n  key_file: server.key\n", 1, "missing cert_file"},
      {"tls_server_config:\n  client_auth_type: RequireAndVerifyClientCert\n  client_ca_file: ca.crt\n", 1,
       "missing cert_file"},
      {"tls_server_config:\n  cert_file: server.crt\n  key_file: renewed.key\n", 3, "key_file renewed.key with"},
      {tls + "  client_auth_type: VerifyClientCertIfGiven\n  client_ca_file: server.key\n", 5, "no PEM certificate"},
      // Not YAML, or more than the format has.
      {"tls_server_config:\n  cert_file: [\n", 3, ""},
      {"a: &x 1\nb: *x\n", 2, "aliases are not supported"},
      {"{}\n---\n{}\n", 2, "one YAML document only"},
      // Nested past any use, as deep as the size limit allows: refused, not a crash.
      {"a: " + std::string(500000, '[') + std::string(500000, ']') + "\n", 1, "nested deeper than 16 levels"},
  };
  for (const auto& c : kCases) {
    writeFile(path, c.text);
    WebConfig config;
    std::string error;
    EXPECT_FALSE(qrvld::readWebConfig(path, config, error)) << c.text;
    const std::string where = path + ":" + std::to_string(c.line) + ": ";
    EXPECT_EQ(error.rfind(where, 0), 0u) << c.text << "\n" << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << "\n" << error;
  }
  WebConfig config;
  std::string error;
  EXPECT_FALSE(qrvld::readWebConfig(dir + "/none.yml", config, error));
  EXPECT_NE(error.find("none.yml: No such file"), std::string::npos) << error;

  // A FIFO or a device, as the file or a file it names, is refused at once, not waited on.
  const std::string fifo = dir + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string named[] = {fifo, "/dev/zero"};
  for (const std::string& special : named) {
    EXPECT_FALSE(qrvld::readWebConfig(special, config, error));
    EXPECT_NE(error.find(special + ": a "), std::string::npos) << error;
    writeFile(path, "tls_server_config:\n  cert_file: " + special + "\n  key_file: server.key\n");
    EXPECT_FALSE(qrvld::readWebConfig(path, config, error));
    EXPECT_NE(error.find(":2: cert_file " + special + ": a "), std::string::npos) << error;
    EXPECT_NE(error.find(", not a regular file"), std::string::npos) << error;
  }
  unlink(fifo.c_str());
}

TEST(WebConfig, ChoosesTheTls12CiphersOfTheListedSuitesForTheCertificate) {
  const std::string dir = certificates();
  const std::string path = dir + "/suites.yml";
  const auto ciphers = [&](const std::string& name, const std::string& suites) {
    writeFile(path, "tls_server_config:\n  cert_file: " + name + ".crt\n  key_file: " + name + ".key\n" + suites);
    WebConfig config;
    std::string error;
    EXPECT_TRUE(qrvld::readWebConfig(path, config, error)) << error;
    std::string text;
    for (const std::string& c : config.ciphers) text += c + " ";
    return text;
  };
  EXPECT_EQ(ciphers("server", ""), "AES-128-GCM AES-256-GCM CHACHA20-POLY1305 ");
  EXPECT_EQ(ciphers("rsa", ""), "AES-128-GCM AES-256-GCM CHACHA20-POLY1305 ");
  // A suite for the other kind of key brings nothing in; TLS 1.3's are taken and ignored.
  const std::string mixed = "  cipher_suites:\n    - TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305\n"
                            "    - TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384\n    - TLS_AES_128_GCM_SHA256\n";
  EXPECT_EQ(ciphers("rsa", mixed), "CHACHA20-POLY1305 ");
  EXPECT_EQ(ciphers("server", mixed), "AES-256-GCM ");
}
