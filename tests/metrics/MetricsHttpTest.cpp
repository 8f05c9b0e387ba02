// qrvld's HTTP side as Prometheus and a hostile client see it: a real qrvld on loopback,
// scraped over TCP while its UDP side is asked as well.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DaemonProcess.h"
#include "HttpConnection.h"
#include "TempFiles.h"
#include "TestMaterial.h"
#include "UdpPeer.h"

using namespace qrvltest;
using qrvltest::bcrypt;
using Clock = std::chrono::steady_clock;

namespace {
const std::string kIntel = QRVL_TREES "/intel/class/hwmon";
const auto npos = std::string::npos;

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Scrapes until the exposition holds `line`, for counters that the poll loop stores after a batch.
bool scrapeShows(std::uint16_t port, const std::string& line) {
  const auto end = Clock::now() + std::chrono::seconds(2);
  do {
    if (httpRequest(port, "GET", "/metrics").find("\n" + line + "\n") != npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Clock::now() < end);
  return false;
}

// What curl, a client the daemon did not write, gets from https://127.0.0.1:port/metrics
// with `options`: the status line, the headers and the body; empty when the server
// closed without an answer or the handshake failed.
std::string curl(std::uint16_t port, const std::string& options, const std::string& path = "/metrics") {
  const std::string command =
      "curl -s -i --max-time 5 " + options + " https://" + loopbackAt(port) + path;
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// curl options that trust the test CA and present client certificate `name`, if any.
std::string client(const std::string& name = "") {
  const std::string& dir = certificates();
  std::string options = "--cacert " + dir + "/ca.crt";
  if (!name.empty()) options += " --cert " + dir + "/" + name + ".crt --key " + dir + "/" + name + ".key";
  return options;
}

// A web configuration file with the certificate `name`, the lines `more` and users.
std::string webConfig(const std::string& file, const std::string& name, const std::string& more,
                      const std::string& users) {
  const std::string path = certificates() + "/" + file;
  writeFile(path, "tls_server_config:\n  cert_file: " + name + ".crt\n  key_file: " + name + ".key\n" + more +
                      "basic_auth_users:\n" + users);
  return path;
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kUnauthorized = "HTTP/1.1 401 Unauthorized\r\n";
}  // namespace

TEST(MetricsHttp, ServesTheSnapshotAtMetricsOnly) {
  const std::uint16_t port = freePort();
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", kIntel, "--metrics", loopbackAt(port)});
  ASSERT_EQ(daemon.start(), "");

  // A channel as the UDP answer carries it, a sensor in base units; vtt has no sensor.
  const std::string scrape = httpRequest(port, "GET", "/metrics");
  EXPECT_TRUE(startsWith(scrape, "HTTP/1.1 200 OK\r\n")) << scrape;
  EXPECT_NE(scrape.find("\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"), npos);
  EXPECT_NE(scrape.find("\nqrvl_channel_temp_celsius{channel=\"cpu\"} 45\n"), npos);
  EXPECT_NE(scrape.find("\nqrvl_hwmon_in_volts{chip=\"platform_nct6775_656\",sensor=\"in0\"} 1.02\n"), npos);
  EXPECT_EQ(scrape.find("channel=\"vtt\""), npos);
  EXPECT_NE(scrape.find("\nqrvl_source_up 1\n"), npos);

  // HEAD has the headers without the body; other paths and methods are refused.
  const std::string head = httpRequest(port, "HEAD", "/metrics");
  EXPECT_TRUE(startsWith(head, "HTTP/1.1 200 OK\r\n")) << head;
  EXPECT_EQ(head.substr(head.find("\r\n\r\n") + 4), "");
  EXPECT_TRUE(startsWith(httpRequest(port, "GET", "/"), "HTTP/1.1 404 "));
  const std::string post = httpRequest(port, "POST", "/metrics");
  EXPECT_TRUE(startsWith(post, "HTTP/1.1 405 ")) << post;
  EXPECT_NE(post.find("\r\nAllow: GET, HEAD\r\n"), npos);

  // The UDP side's counters: one datagram of the wrong size, then two answered requests.
  UdpPeer client;
  client.sendTo(daemon.port(), {1, 2, 3});
  for (std::uint32_t sequence : {1u, 2u}) {
    EXPECT_TRUE(client.ask(daemon.port(), sequence).has_value());
  }
  EXPECT_TRUE(scrapeShows(port, "qrvl_requests_answered_total 2"));
  EXPECT_TRUE(scrapeShows(port, "qrvl_requests_dropped_total{reason=\"wrong-size\"} 1"));
}

TEST(MetricsHttp, AnswersOnlyTheClientsTheAllowListAdmits) {
  const std::uint16_t port = freePort();
  const std::string config = tempFileWith("[qrvld]\nallow = 127.0.0.2\n");
  DaemonProcess daemon({"--config", config, "--metrics", loopbackAt(port)});
  ASSERT_EQ(daemon.start(), "");
  // Refused clients are disconnected without an answer.
  EXPECT_EQ(httpRequest(port, "GET", "/metrics", kLoopback), "");
  EXPECT_TRUE(startsWith(httpRequest(port, "GET", "/metrics", "127.0.0.2"), "HTTP/1.1 200 OK\r\n"));

  // A reloaded list applies to the clients that connect from then on.
  writeFile(config, "[qrvld]\nallow = 127.0.0.1\n");
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("reloaded", 2000)) << daemon.log();
  EXPECT_TRUE(startsWith(httpRequest(port, "GET", "/metrics", kLoopback), "HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(httpRequest(port, "GET", "/metrics", "127.0.0.2"), "");
  std::remove(config.c_str());
}

TEST(MetricsHttp, IdleAndOversizedClientsCostTheUdpSideNothing) {
  const std::uint16_t port = freePort();
  DaemonProcess daemon({"--metrics", loopbackAt(port)});
  ASSERT_EQ(daemon.start(), "");

  // Eight idle connections take every place: a ninth client waits, UDP answers at once.
  std::vector<std::unique_ptr<HttpConnection>> idle;
  for (int i = 0; i < 8; ++i) idle.push_back(std::make_unique<HttpConnection>(port));
  const auto opened = Clock::now();
  HttpConnection ninth(port);
  ninth.send("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  bool closed = false;
  EXPECT_EQ(ninth.receive(1000, closed), "");
  UdpPeer client;
  EXPECT_TRUE(client.ask(daemon.port(), 7, 200).has_value());

  // The idle ones are closed after their 5 s, and the ninth is served then.
  EXPECT_TRUE(startsWith(ninth.receive(8000, closed), "HTTP/1.1 200 OK\r\n"));
  const std::chrono::duration<double> waited = Clock::now() - opened;
  EXPECT_GT(waited.count(), 4.0);
  for (auto& connection : idle) {
    connection->receive(1000, closed);
    EXPECT_TRUE(closed);
  }

  // A request larger than a connection may hold is refused.
  HttpConnection large(port);
  large.send("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Filler: " + std::string(64 * 1024, 'x') + "\r\n\r\n");
  EXPECT_FALSE(startsWith(large.receive(3000, closed), "HTTP/1.1 200"));
  EXPECT_TRUE(closed);
  EXPECT_TRUE(daemon.running());
}

TEST(MetricsHttp, ServesOverTlsToTheRightPasswordOnly) {
  const std::uint16_t port = freePort();
  const std::string users = "  alice: " + bcrypt("secret") + "\n  bob: " + bcrypt("hunter2") + "\n";
  const std::string config = webConfig("tls.yml", "server", "", users);
  DaemonProcess daemon({"--metrics", loopbackAt(port), "--web.config.file", config});
  ASSERT_EQ(daemon.start(), "");
  EXPECT_NE(daemon.log().find("metrics on https://127.0.0.1:"), npos) << daemon.log();

  // Each user with its password gets the scrape, over TLS 1.2 as well as 1.3.
  const std::string scrape = curl(port, client() + " -u alice:secret");
  EXPECT_TRUE(startsWith(scrape, kOk)) << scrape;
  EXPECT_NE(scrape.find("\nqrvl_source_up 1\n"), npos);
  EXPECT_TRUE(startsWith(curl(port, client() + " -u bob:hunter2 --tls-max 1.2"), kOk));

  // No password, a wrong one, another user's, an unknown user: 401 with the challenge,
  // on any path, so that nothing is told without a password.
  for (const std::string credentials : {"", "-u alice:wrong", "-u alice:hunter2", "-u carol:secret"}) {
    const std::string refused = curl(port, client() + " " + credentials);
    EXPECT_TRUE(startsWith(refused, kUnauthorized)) << credentials << "\n" << refused;
    EXPECT_NE(refused.find("\r\nWWW-Authenticate: Basic realm=\"qrvld\""), npos) << refused;
    EXPECT_EQ(refused.find("qrvl_"), npos);
  }
  EXPECT_TRUE(startsWith(curl(port, client(), "/"), kUnauthorized));
  EXPECT_TRUE(startsWith(curl(port, client() + " -u alice:secret", "/"), "HTTP/1.1 404 "));

  // Plain HTTP and TLS below 1.2 get no answer at all.
  const std::string plain = httpRequest(port, "GET", "/metrics");
  EXPECT_EQ(plain.find("HTTP/1.1"), npos) << plain;
  EXPECT_EQ(curl(port, client() + " -u alice:secret --tlsv1.0 --tls-max 1.1"), "");

  // Meanwhile the UDP side answers as ever.
  UdpPeer peer;
  EXPECT_TRUE(peer.ask(daemon.port(), 3, 500).has_value());
  EXPECT_TRUE(daemon.running());
}

TEST(MetricsHttp, TakesClientCertificatesOfItsCaOnly) {
  const std::uint16_t port = freePort();
  const std::string users = "  alice: " + bcrypt("secret") + "\n";
  const std::string ca = "  client_ca_file: ca.crt\n";
  const std::string config =
      webConfig("clients.yml", "server", ca + "  client_auth_type: RequireAndVerifyClientCert\n", users);
  DaemonProcess daemon({"--metrics", loopbackAt(port), "--web.config.file", config});
  ASSERT_EQ(daemon.start(), "");

  // Required: the CA's client passes, and still needs its password; none, another CA's,
  // an expired one and one of the CA's server certificates (not for clients) are disconnected.
  EXPECT_TRUE(startsWith(curl(port, client("client") + " -u alice:secret"), kOk));
  EXPECT_TRUE(startsWith(curl(port, client("client")), kUnauthorized));
  for (const std::string name : {"", "stranger", "expired", "server"}) {
    EXPECT_EQ(curl(port, client(name) + " -u alice:secret"), "") << name;
  }

  // Checked if given, after a reload: none passes, the stranger still does not.
  webConfig("clients.yml", "server", ca + "  client_auth_type: VerifyClientCertIfGiven\n", users);
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("client certificates checked if given", 2000)) << daemon.log();
  EXPECT_TRUE(startsWith(curl(port, client() + " -u alice:secret"), kOk));
  EXPECT_TRUE(startsWith(curl(port, client("client") + " -u alice:secret"), kOk));
  EXPECT_EQ(curl(port, client("stranger") + " -u alice:secret"), "");
  EXPECT_EQ(curl(port, client("expired") + " -u alice:secret"), "");
}

TEST(MetricsHttp, ReloadsTheWebConfigAndKeepsItWhenTheNewOneIsBroken) {
  const std::uint16_t port = freePort();
  const std::string dir = certificates();
  const std::string config = webConfig("reload.yml", "server", "", "  alice: " + bcrypt("secret") + "\n");
  DaemonProcess daemon({"--metrics", loopbackAt(port), "--web.config.file", config});
  ASSERT_EQ(daemon.start(), "");
  const std::string pinServer = client() + " --pinnedpubkey " + dir + "/server.pub";
  const std::string pinRenewed = client() + " --pinnedpubkey " + dir + "/renewed.pub";
  EXPECT_TRUE(startsWith(curl(port, pinServer + " -u alice:secret"), kOk));

  // A new certificate and key, and new users, in one line of the log.
  webConfig("reload.yml", "renewed", "", "  bob: " + bcrypt("hunter2") + "\n");
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("reloaded " + config + ": allow ", 2000)) << daemon.log();
  EXPECT_NE(daemon.log().find("; metrics https, TLS 1.2-1.3, 1 user; [map] applied\n"), npos) << daemon.log();
  EXPECT_TRUE(startsWith(curl(port, pinRenewed + " -u bob:hunter2"), kOk));
  EXPECT_EQ(curl(port, pinServer + " -u bob:hunter2"), "");
  EXPECT_TRUE(startsWith(curl(port, pinRenewed + " -u alice:secret"), kUnauthorized));

  // A broken file, and a key that does not fit: logged with the line, the old ones stay.
  const std::pair<const char*, const char*> kBroken[] = {
      {"tls_server_config:\n  cert_file: server.crt\n  key_fil: server.key\n", "unknown key key_fil"},
      {"tls_server_config:\n  cert_file: server.crt\n  key_file: renewed.key\n",
       "key_file renewed.key with cert_file server.crt"},
  };
  for (const auto& [text, reason] : kBroken) {
    writeFile(config, text);
    daemon.signal(SIGHUP);
    ASSERT_TRUE(daemon.waitForLog("configuration not reloaded: " + config + ":3: " + reason, 2000)) << daemon.log();
    EXPECT_TRUE(startsWith(curl(port, pinRenewed + " -u bob:hunter2"), kOk));
  }
  const std::string log = daemon.log();
  EXPECT_EQ(log.find("\nreloaded ", log.find("key_fil")), npos) << log;
}

TEST(MetricsHttp, TheRunningServerKeepsItsWebConfigWhileTheFileNamesNoMetrics) {
  const std::uint16_t port = freePort();
  const std::string web = webConfig("kept.yml", "server", "", "  alice: " + bcrypt("secret") + "\n");
  const std::string ini = certificates() + "/kept.conf";
  const std::string withMetrics = "[qrvld]\nmetrics = " + loopbackAt(port) + "\nmetrics-web-config = " + web + "\n";
  writeFile(ini, withMetrics);
  DaemonProcess daemon({"--config", ini});
  ASSERT_EQ(daemon.start(), "");
  // The metrics line gone, new users: the server runs on as it was until the next start...
  writeFile(ini, "[qrvld]\nmetrics-web-config = " + web + "\n");
  webConfig("kept.yml", "server", "", "  bob: " + bcrypt("hunter2") + "\n");
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("metrics changes at the next start", 2000)) << daemon.log();
  EXPECT_TRUE(startsWith(curl(port, client() + " -u alice:secret"), kOk));
  // ...and the line back, the new users apply.
  ASSERT_TRUE(daemon.waitForLog("reloaded " + ini + ":", 2000)) << daemon.log();
  const std::size_t firstReload = daemon.log().find("reloaded " + ini + ":");
  writeFile(ini, withMetrics);
  daemon.signal(SIGHUP);
  const auto end = Clock::now() + std::chrono::seconds(2);
  while (daemon.log().find("reloaded " + ini + ":", firstReload + 1) == npos && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(startsWith(curl(port, client() + " -u bob:hunter2"), kOk));
  EXPECT_TRUE(startsWith(curl(port, client() + " -u alice:secret"), kUnauthorized));
}

TEST(MetricsHttp, RefusesABrokenWebConfigAtStart) {
  const std::string config = certificates() + "/start.yml";
  writeFile(config, "tls_server_config:\n  cert_file: server.crt\n  key_fil: server.key\n");
  auto result = DaemonProcess::run({"--source", "sim", "--metrics", "127.0.0.1:1", "--web.config.file", config});
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find(config + ":3: unknown key key_fil"), npos) << result.err;
  writeFile(config, "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n  min_version: TLS10\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--web.config.file", config}, {"--metrics-web-config", config}}) {
    result = DaemonProcess::run({"--source", "sim", "--metrics", "127.0.0.1:1", args[0], args[1]});
    EXPECT_EQ(result.code, 2);
    EXPECT_NE(result.err.find(config + ":4: min_version TLS10: qrvld serves TLS 1.2 and 1.3 only"), npos) << result.err;
  }
  // The same from the configuration file's key.
  const std::string ini = certificates() + "/qrvld.conf";
  writeFile(ini, "[qrvld]\nmetrics-web-config = " + config + "\n");
  result = DaemonProcess::run({"--config", ini});
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find(config + ":4: "), npos) << result.err;
}
