#include "http/WebConfig.h"

#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <sys/stat.h>
#include <unistd.h>
#include <yaml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "base/UniqueFd.h"

namespace qrvld {

namespace {
// Certificates, keys and the file itself are small; a larger file is a mistake.
constexpr off_t kFileLimit = 1 << 20;
// The format is three levels deep; the tree is built by recursion, so a deeper file is
// refused before it can exhaust the stack.
constexpr int kDepthLimit = 16;
// A check of a wrong password holds the HTTP thread for as long as bcrypt takes: a quarter
// of a second at cost 12 on a current processor, and each step doubles it.
constexpr int kCostLimit = 12;

// The document as a tree, each node with its line for the messages.
struct Node {
  enum class Kind { Null, Scalar, Mapping, Sequence } kind = Kind::Null;
  std::string text;
  int line = 0;
  std::vector<std::pair<Node, Node>> pairs;
  std::vector<Node> items;
};

// libyaml's event stream turned into one document's tree; anchors and several documents
// are refused, as nothing in the format needs them.
class TreeReader {
 public:
  explicit TreeReader(const std::string& text) {
    yaml_parser_initialize(&parser_);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  ~TreeReader() { yaml_parser_delete(&parser_); }
  TreeReader(const TreeReader&) = delete;
  TreeReader& operator=(const TreeReader&) = delete;

  // The root; a Null node for an empty file. On failure `line` and `error` say where and why.
  bool read(Node& root, int& line, std::string& error) {
    Event event;
    if (!next(event, line, error) || event.e.type != YAML_STREAM_START_EVENT) return false;
    if (!next(event, line, error)) return false;
    if (event.e.type == YAML_STREAM_END_EVENT) return true;
    if (!next(event, line, error) || !node(event, root, 0, line, error)) return false;
    if (!next(event, line, error) || event.e.type != YAML_DOCUMENT_END_EVENT) return false;
    if (!next(event, line, error)) return false;
    if (event.e.type != YAML_STREAM_END_EVENT) {
      error = "one YAML document only";
      return false;
    }
    return true;
  }

 private:
  struct Event {
    yaml_event_t e{};
    bool held = false;
    ~Event() { clear(); }
    void clear() {
      if (held) yaml_event_delete(&e);
      held = false;
    }
  };

  bool next(Event& event, int& line, std::string& error) {
    event.clear();
    if (!yaml_parser_parse(&parser_, &event.e)) {
      line = static_cast<int>(parser_.problem_mark.line) + 1;
      error = parser_.problem != nullptr ? parser_.problem : "not YAML";
      return false;
    }
    event.held = true;
    line = static_cast<int>(event.e.start_mark.line) + 1;
    return true;
  }

  bool node(Event& event, Node& out, int depth, int& line, std::string& error) {
    out.line = line;
    const bool nests = event.e.type == YAML_MAPPING_START_EVENT || event.e.type == YAML_SEQUENCE_START_EVENT;
    if (nests && depth == kDepthLimit) {
      error = "nested deeper than " + std::to_string(kDepthLimit) + " levels";
      return false;
    }
    switch (event.e.type) {
      case YAML_SCALAR_EVENT: {
        const auto& s = event.e.data.scalar;
        out.text.assign(reinterpret_cast<const char*>(s.value), s.length);
        const bool null = s.plain_implicit && (out.text.empty() || out.text == "~" || out.text == "null" ||
                                               out.text == "Null" || out.text == "NULL");
        out.kind = null ? Node::Kind::Null : Node::Kind::Scalar;
        return true;
      }
      case YAML_MAPPING_START_EVENT:
        out.kind = Node::Kind::Mapping;
        for (;;) {
          Node key;
          Node value;
          if (!next(event, line, error)) return false;
          if (event.e.type == YAML_MAPPING_END_EVENT) return true;
          if (!node(event, key, depth + 1, line, error) || !next(event, line, error) ||
              !node(event, value, depth + 1, line, error)) {
            return false;
          }
          out.pairs.emplace_back(std::move(key), std::move(value));
        }
      case YAML_SEQUENCE_START_EVENT:
        out.kind = Node::Kind::Sequence;
        for (;;) {
          Node item;
          if (!next(event, line, error)) return false;
          if (event.e.type == YAML_SEQUENCE_END_EVENT) return true;
          if (!node(event, item, depth + 1, line, error)) return false;
          out.items.push_back(std::move(item));
        }
      default:
        error = "anchors and aliases are not supported";
        return false;
    }
  }

  yaml_parser_t parser_;
};

// A reason on one line of the log: values quoted from the file may hold line breaks
// (a folded scalar) and other control characters, shown escaped.
std::string printable(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7f) {
      out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// What a file that is not a regular one is, for the message.
const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder, ";
  if (S_ISFIFO(mode)) return "a FIFO, ";
  if (S_ISSOCK(mode)) return "a socket, ";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, ";
  return "";
}

// A whole regular file, up to the limit. Opened without blocking and judged by the opened
// descriptor: a FIFO or a device named here would otherwise hold the caller for ever, and
// a check of the name before opening could be raced.
bool readFile(const std::string& path, std::string& text, std::string& error) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (!fd || fstat(fd.get(), &st) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + ": " + kindOf(st.st_mode) + "not a regular file";
    return false;
  }
  if (st.st_size > kFileLimit) {
    error = path + ": larger than 1 MiB";
    return false;
  }
  text.clear();
  char buffer[16384];
  for (;;) {
    const ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = path + ": cannot be read: " + std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    // The file may grow while it is read.
    if (text.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(kFileLimit)) {
      error = path + ": larger than 1 MiB";
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// The cost of "$2y$10$" and 53 characters of salt and hash, when it is one bcrypt takes
// (4 to 31); 0 for anything else.
int bcryptCost(const std::string& hash) {
  if (hash.size() != 60 || !(hash.rfind("$2a$", 0) == 0 || hash.rfind("$2b$", 0) == 0 || hash.rfind("$2y$", 0) == 0))
    return 0;
  if (!std::isdigit(static_cast<unsigned char>(hash[4])) || !std::isdigit(static_cast<unsigned char>(hash[5])) ||
      hash[6] != '$')
    return 0;
  const int cost = (hash[4] - '0') * 10 + (hash[5] - '0');
  return cost >= 4 && cost <= 31 ? cost : 0;
}

// The TLS 1.2 suites served, by the names Go's crypto/tls gives them: those of Go's own
// default list with ECDHE key exchange and an AEAD cipher, each with the key its
// certificate needs and the cipher by GnuTLS's name.
struct Suite {
  const char* name;
  bool ecdsa;
  const char* cipher;
};
constexpr Suite kSuites[] = {
    {"TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256", true, "AES-128-GCM"},
    {"TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256", false, "AES-128-GCM"},
    {"TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384", true, "AES-256-GCM"},
    {"TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384", false, "AES-256-GCM"},
    {"TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305", true, "CHACHA20-POLY1305"},
    {"TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305", false, "CHACHA20-POLY1305"},
    {"TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256", true, "CHACHA20-POLY1305"},
    {"TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256", false, "CHACHA20-POLY1305"},
};
// TLS 1.3's suites, which Go accepts in the list and leaves out of its choice for 1.2.
constexpr const char* kTls13Suites[] = {"TLS_AES_128_GCM_SHA256", "TLS_AES_256_GCM_SHA384",
                                        "TLS_CHACHA20_POLY1305_SHA256"};

// Walks the tree into a WebConfig, keeping the first error with its line.
class Interpreter {
 public:
  Interpreter(const std::string& path, WebConfig& config) : config_(config) {
    const auto slash = path.rfind('/');
    folder_ = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  }

  bool root(const Node& node) {
    if (node.kind == Node::Kind::Null) return true;
    return mapping(node, "the file", [this](const std::string& key, const Node& value) {
      if (key == "tls_server_config") return tls(value);
      if (key == "basic_auth_users") return users(value);
      if (key == "http_server_config" || key == "rate_limit") return unsupported(key, value);
      return unknown(key, value);
    });
  }

  // What the keys mean together, once all are read.
  bool consistent() {
    if (failed()) return false;
    // Any of these asks for TLS, and TLS then needs its certificate and key.
    const bool given = !cert_.name.empty() || !key_.name.empty() || !ca_.name.empty() || clientAuthGiven_;
    if (given && cert_.name.empty()) return failAt(tlsLine_, "tls_server_config: missing cert_file");
    if (given && key_.name.empty()) return failAt(tlsLine_, "tls_server_config: missing key_file");
    const bool verifies = config_.clientAuth != ClientAuth::None;
    if (verifies && ca_.name.empty()) return failAt(clientAuthLine_, "client_auth_type needs a client_ca_file");
    if (!verifies && !ca_.name.empty()) {
      return failAt(ca_.line, "client_ca_file without a client_auth_type that verifies certificates");
    }
    if (config_.minVersion > config_.maxVersion) return failAt(tlsLine_, "min_version is above max_version");
    config_.tls = given;
    return !given || credentialsWork();
  }

  bool failed(int& line, std::string& error) const {
    line = line_;
    error = error_;
    return !error_.empty();
  }

 private:
  template <typename Handler>
  bool mapping(const Node& node, const std::string& what, Handler handler) {
    if (node.kind == Node::Kind::Null) return true;
    if (node.kind != Node::Kind::Mapping) return fail(node, what + ": expected a mapping");
    std::set<std::string> seen;
    for (const auto& [key, value] : node.pairs) {
      if (key.kind != Node::Kind::Scalar) return fail(key, what + ": expected a name as key");
      if (!seen.insert(key.text).second) return fail(key, key.text + " given twice");
      keyLine_ = key.line;
      if (!handler(key.text, value)) return false;
    }
    return true;
  }

  bool string(const std::string& key, const Node& value, std::string& out) {
    if (value.kind == Node::Kind::Null) return true;
    if (value.kind != Node::Kind::Scalar) return fail(value, key + ": expected a string");
    out = value.text;
    return true;
  }

  bool version(const std::string& key, const Node& value, int& out) {
    std::string name;
    if (!string(key, value, name) || name.empty()) return !failed();
    if (name == "TLS12" || name == "TLS13") {
      out = name == "TLS12" ? 12 : 13;
      return true;
    }
    if (name == "TLS10" || name == "TLS11")
      return fail(value, key + " " + name + ": qrvld serves TLS 1.2 and 1.3 only");
    return fail(value, key + " \"" + name + "\": expected TLS12 or TLS13");
  }

  bool tls(const Node& node) {
    tlsLine_ = keyLine_;
    return mapping(node, "tls_server_config", [this](const std::string& key, const Node& value) {
      if (key == "cert_file") return file(key, value, config_.certPem, cert_);
      if (key == "key_file") return file(key, value, config_.keyPem, key_);
      if (key == "client_ca_file") return file(key, value, config_.clientCaPem, ca_);
      if (key == "min_version") return version(key, value, config_.minVersion);
      if (key == "max_version") return version(key, value, config_.maxVersion);
      if (key == "client_auth_type") {
        std::string type;
        clientAuthLine_ = value.line;
        clientAuthGiven_ = true;
        if (!string(key, value, type)) return false;
        if (type.empty() || type == "NoClientCert") {
          config_.clientAuth = ClientAuth::None;
        } else if (type == "VerifyClientCertIfGiven") {
          config_.clientAuth = ClientAuth::VerifyIfGiven;
        } else if (type == "RequireAndVerifyClientCert") {
          config_.clientAuth = ClientAuth::RequireAndVerify;
        } else if (type == "RequestClientCert" || type == "RequireAnyClientCert") {
          return fail(value, key + " " + type + ": qrvld checks the certificates it asks for; use " +
                                 "VerifyClientCertIfGiven or RequireAndVerifyClientCert");
        } else {
          return fail(value, key + " \"" + type +
                                 "\": expected NoClientCert, VerifyClientCertIfGiven or RequireAndVerifyClientCert");
        }
        return true;
      }
      if (key == "cipher_suites") return suites(value);
      if (key == "curve_preferences" || key == "prefer_server_cipher_suites" ||
          key == "client_allowed_sans" || key == "cert" || key == "key" || key == "client_ca") {
        return unsupported(key, value);
      }
      return unknown(key, value);
    });
  }

  // A list of suite names; those for TLS 1.3 are taken and have no effect, as in Go.
  bool suites(const Node& node) {
    suitesLine_ = node.line;
    suitesGiven_ = node.kind != Node::Kind::Null;
    if (node.kind == Node::Kind::Null) return true;
    if (node.kind != Node::Kind::Sequence) return fail(node, "cipher_suites: expected a list of names");
    for (const Node& item : node.items) {
      if (item.kind != Node::Kind::Scalar) return fail(item, "cipher_suites: expected a name");
      bool found = false;
      for (const Suite& suite : kSuites) found = found || item.text == suite.name;
      for (const char* name : kTls13Suites) found = found || item.text == name;
      if (!found && item.text.rfind("TLS_", 0) == 0 && item.text.find("_WITH_") != std::string::npos) {
        return fail(item, "cipher_suites: " + item.text +
                              ": qrvld offers TLS 1.2 only with ECDHE and AES-GCM or ChaCha20-Poly1305");
      }
      if (!found) return fail(item, "cipher_suites: unknown suite " + item.text);
      config_.cipherSuites.push_back(item.text);
    }
    return true;
  }

  // The TLS 1.2 ciphers of the listed suites (all when none is listed) whose key exchange
  // fits the certificate: GnuTLS combines every cipher with every key exchange, so a suite
  // for the other kind of key must not bring its cipher in.
  bool chooseCiphers(bool ecdsa) {
    for (const Suite& suite : kSuites) {
      const bool listed = !suitesGiven_ || std::find(config_.cipherSuites.begin(), config_.cipherSuites.end(),
                                                     suite.name) != config_.cipherSuites.end();
      if (listed && suite.ecdsa == ecdsa &&
          std::find(config_.ciphers.begin(), config_.ciphers.end(), suite.cipher) == config_.ciphers.end()) {
        config_.ciphers.push_back(suite.cipher);
      }
    }
    if (!config_.ciphers.empty() || config_.minVersion == 13) return true;
    return failAt(suitesLine_, std::string("cipher_suites: no TLS 1.2 suite for the certificate's ") +
                                   (ecdsa ? "ECDSA" : "RSA") + " key");
  }

  bool users(const Node& node) {
    return mapping(node, "basic_auth_users", [this](const std::string& user, const Node& value) {
      const int cost = value.kind == Node::Kind::Scalar ? bcryptCost(value.text) : 0;
      if (cost == 0) {
        return fail(value, "basic_auth_users: " + user + ": expected a bcrypt hash ($2y$..., htpasswd -nBC 10)");
      }
      if (cost > kCostLimit) {
        return fail(value, "basic_auth_users: " + user + ": bcrypt cost " + std::to_string(cost) + " is above " +
                               std::to_string(kCostLimit) +
                               ": each wrong password would hold the HTTP side for half a second or more; " +
                               "hash it again with htpasswd -nBC 10");
      }
      if (user.find(':') != std::string::npos) return fail(value, "basic_auth_users: " + user + ": ':' in a user name");
      config_.users[user] = value.text;
      return true;
    });
  }

  // A file named by `key`, read at once; `at` keeps its name and line for later checks.
  struct Named {
    std::string name;
    int line = 0;
  };
  bool file(const std::string& key, const Node& value, std::string& content, Named& at) {
    if (!string(key, value, at.name) || at.name.empty()) return !failed();
    at.line = value.line;
    std::string why;
    const std::string full = at.name.front() == '/' ? at.name : folder_ + at.name;
    return readFile(full, content, why) || fail(value, key + " " + why);
  }

  // Whether the first certificate in `pem` has an elliptic-curve key; GnuTLS has just read it.
  static bool certificateIsEcdsa(const gnutls_datum_t& pem) {
    gnutls_x509_crt_t crt = nullptr;
    if (gnutls_x509_crt_init(&crt) != GNUTLS_E_SUCCESS) return false;
    const bool ecdsa = gnutls_x509_crt_import(crt, &pem, GNUTLS_X509_FMT_PEM) == GNUTLS_E_SUCCESS &&
                       gnutls_x509_crt_get_pk_algorithm(crt, nullptr) == GNUTLS_PK_ECDSA;
    gnutls_x509_crt_deinit(crt);
    return ecdsa;
  }

  // GnuTLS's reading of the material, so that a wrong key fails here with its reason rather
  // than later as a server that does not start.
  bool credentialsWork() {
    gnutls_certificate_credentials_t credentials = nullptr;
    if (gnutls_certificate_allocate_credentials(&credentials) != GNUTLS_E_SUCCESS) {
      return failAt(tlsLine_, "GnuTLS cannot allocate credentials");
    }
    auto datum = [](std::string& text) {
      return gnutls_datum_t{reinterpret_cast<unsigned char*>(text.data()), static_cast<unsigned>(text.size())};
    };
    gnutls_datum_t cert = datum(config_.certPem);
    gnutls_datum_t key = datum(config_.keyPem);
    gnutls_datum_t ca = datum(config_.clientCaPem);
    const int keyResult =
        gnutls_certificate_set_x509_key_mem2(credentials, &cert, &key, GNUTLS_X509_FMT_PEM, nullptr, 0);
    const int caResult =
        ca_.name.empty() ? 1 : gnutls_certificate_set_x509_trust_mem(credentials, &ca, GNUTLS_X509_FMT_PEM);
    gnutls_certificate_free_credentials(credentials);
    if (keyResult < 0) {
      return failAt(key_.line,
                    "key_file " + key_.name + " with cert_file " + cert_.name + ": " + gnutls_strerror(keyResult));
    }
    if (caResult <= 0) return failAt(ca_.line, "client_ca_file " + ca_.name + ": no PEM certificate in it");
    return chooseCiphers(certificateIsEcdsa(cert));
  }

  bool unsupported(const std::string& key, const Node&) { return failAt(keyLine_, key + " is not supported by qrvld"); }
  bool unknown(const std::string& key, const Node&) { return failAt(keyLine_, "unknown key " + key); }
  bool fail(const Node& node, const std::string& why) { return failAt(node.line, why); }
  bool failAt(int line, const std::string& why) {
    if (error_.empty()) {
      line_ = line;
      error_ = why;
    }
    return false;
  }
  bool failed() const { return !error_.empty(); }

  std::string folder_;
  WebConfig& config_;
  Named cert_;
  Named key_;
  Named ca_;
  int keyLine_ = 1;  // of the key being read
  int tlsLine_ = 1;
  int clientAuthLine_ = 1;
  bool clientAuthGiven_ = false;
  int suitesLine_ = 1;
  bool suitesGiven_ = false;
  int line_ = 0;
  std::string error_;
};
}  // namespace

bool WebConfig::operator==(const WebConfig& other) const {
  return path == other.path && tls == other.tls && certPem == other.certPem && keyPem == other.keyPem &&
         clientCaPem == other.clientCaPem && clientAuth == other.clientAuth && minVersion == other.minVersion &&
         maxVersion == other.maxVersion && cipherSuites == other.cipherSuites && ciphers == other.ciphers &&
         users == other.users;
}

std::string WebConfig::summary() const {
  std::string text = "http";
  if (tls) {
    text = "https, TLS 1." + std::to_string(minVersion - 10) +
           (maxVersion > minVersion ? "-1." + std::to_string(maxVersion - 10) : "");
    if (clientAuth == ClientAuth::RequireAndVerify) text += ", client certificates required";
    if (clientAuth == ClientAuth::VerifyIfGiven) text += ", client certificates checked if given";
  }
  if (users.empty()) return text + ", no passwords";
  return text + ", " + std::to_string(users.size()) + (users.size() == 1 ? " user" : " users");
}

std::string WebConfig::priorities() const {
  std::string text = "NORMAL:-VERS-ALL";
  for (int v = maxVersion; v >= minVersion; --v) text += ":+VERS-TLS1." + std::to_string(v - 10);
  // Forward secrecy and authenticated encryption only, on the curves Go offers.
  text += ":-KX-ALL:+ECDHE-ECDSA:+ECDHE-RSA:-CIPHER-ALL";
  for (const std::string& cipher : ciphers) text += ":+" + cipher;
  if (ciphers.empty()) text += ":+AES-128-GCM:+AES-256-GCM:+CHACHA20-POLY1305";
  return text + ":-MAC-ALL:+AEAD:-GROUP-ALL:+GROUP-X25519:+GROUP-SECP256R1:+GROUP-SECP384R1:+GROUP-SECP521R1";
}

bool readWebConfig(const std::string& file, WebConfig& config, std::string& error) {
  // A copy first: `file` may be config.path itself.
  const std::string path = file;
  config = WebConfig();
  config.path = path;
  std::string text;
  if (!readFile(path, text, error)) return false;
  Node root;
  int line = 0;
  std::string why;
  Interpreter interpreter(path, config);
  if (TreeReader(text).read(root, line, why) && interpreter.root(root) && interpreter.consistent()) return true;
  if (why.empty()) interpreter.failed(line, why);
  error = path + ":" + std::to_string(line) + ": " + printable(why);
  return false;
}

}  // namespace qrvld
