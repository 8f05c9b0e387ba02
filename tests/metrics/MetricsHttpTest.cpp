// qrvld's HTTP side as Prometheus and a hostile client see it: a real qrvld on loopback,
// scraped over TCP while its UDP side is asked as well.
#include <gtest/gtest.h>

#include <sys/stat.h>
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
#include "WaitUntil.h"

using namespace qrvltest;
using qrvltest::basicAuthorization;
using qrvltest::bcrypt;
using Clock = std::chrono::steady_clock;

namespace {
const std::string kIntel = QRVL_TREES "/intel/class/hwmon";
const auto npos = std::string::npos;

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Scrapes until the exposition holds `line`, for counters that the poll loop stores after a batch.
bool scrapeShows(std::uint16_t port, const std::string& line) {
  return waitUntil(2000, [&] { return httpRequest(port, "GET", "/metrics").find("\n" + line + "\n") != npos; });
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

// Whether `openssl s_client`, a TLS client the daemon did not write, completes a handshake
// with `options` (versions, suites) against the test CA.
bool handshakes(std::uint16_t port, const std::string& options) {
  const std::string command = "openssl s_client -connect " + loopbackAt(port) + " -CAfile " + certificates() +
                              "/ca.crt -verify_return_error " + options + " </dev/null >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The status line of a plain HTTP scrape from `from` with `credentials`.
std::string statusFor(std::uint16_t port, const std::string& from, const std::string& credentials) {
  const std::string response =
      httpRequest(port, "GET", "/metrics", from, "Authorization: " + basicAuthorization(credentials) + "\r\n");
  return response.substr(0, response.find("\r\n"));
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

  // Eight idle connections, four from each of two addresses, take every place: a ninth
  // client waits, UDP answers at once.
  std::vector<std::unique_ptr<HttpConnection>> idle;
  for (int i = 0; i < 8; ++i) idle.push_back(std::make_unique<HttpConnection>(port, i < 4 ? "127.0.0.3" : "127.0.0.4"));
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
  waitUntil(2000, [&] { return daemon.log().find("reloaded " + ini + ":", firstReload + 1) != npos; });
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

TEST(MetricsHttp, AGuesserOnOneAddressLocksNoOtherOutNorAReloadTheGoodHeader) {
  const std::uint16_t port = freePort();
  const std::string dir = certificates();
  const std::string config = dir + "/guess.yml";
  // Cost 10, as the exporters' documentation suggests: a wrong password takes a while.
  const std::string alice = "  alice: " + bcrypt("secret", 10) + "\n";
  writeFile(config, "basic_auth_users:\n" + alice);
  DaemonProcess daemon({"--metrics", loopbackAt(port), "--web.config.file", config});
  ASSERT_EQ(daemon.start(), "");

  // The guesser on 127.0.0.2 runs out of tries; the scraper on 127.0.0.1 still gets in.
  const auto guessUntilTurnedAway = [&](const char* from) {
    for (int i = 0; i < 100; ++i) {
      if (statusFor(port, from, "alice:guess" + std::to_string(i)) == "HTTP/1.1 429 Too Many Requests") return true;
    }
    return false;
  };
  ASSERT_TRUE(guessUntilTurnedAway("127.0.0.2"));
  EXPECT_EQ(statusFor(port, kLoopback, "alice:secret"), "HTTP/1.1 200 OK");

  // After a reload that keeps alice's hash, her header passes unchecked even where the
  // address has used up its tries.
  writeFile(config, "basic_auth_users:\n" + alice + "  bob: " + bcrypt("hunter2") + "\n");
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("2 users; [map] applied", 2000)) << daemon.log();
  ASSERT_TRUE(guessUntilTurnedAway(kLoopback));
  EXPECT_EQ(statusFor(port, kLoopback, "alice:secret"), "HTTP/1.1 200 OK");
  EXPECT_EQ(statusFor(port, kLoopback, "bob:hunter2"), "HTTP/1.1 429 Too Many Requests");
}

TEST(MetricsHttp, SlowClientsOfOneAddressKeepNoScrapeOut) {
  const std::uint16_t port = freePort();
  DaemonProcess daemon({"--metrics", loopbackAt(port)});
  ASSERT_EQ(daemon.start(), "");

  // Eight connections from one address that each send a byte of their head every 2.5 s,
  // never silent long enough for the idle time-out.
  const std::string head = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::vector<std::unique_ptr<HttpConnection>> slow;
  for (int i = 0; i < 8; ++i) {
    slow.push_back(std::make_unique<HttpConnection>(port, "127.0.0.2"));
    slow.back()->send(head.substr(0, 1));
  }
  const auto opened = Clock::now();
  // A scrape from another address is answered at once.
  EXPECT_TRUE(startsWith(httpRequest(port, "GET", "/metrics"), kOk));
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - opened).count(), 2.0);

  // However steadily they trickle, their heads are cut off at the deadline.
  std::vector<bool> closed(slow.size(), false);
  for (std::size_t sent = 1; sent < 5; ++sent) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    for (std::size_t i = 0; i < slow.size(); ++i) {
      bool gone = false;
      slow[i]->send(head.substr(sent, 1));
      slow[i]->receive(50, gone);
      closed[i] = closed[i] || gone;
    }
  }
  for (std::size_t i = 0; i < slow.size(); ++i) EXPECT_TRUE(closed[i]) << i;
  EXPECT_TRUE(daemon.running());
}

TEST(MetricsHttp, RefusesADeepOrSpecialWebConfigAndKeepsTheRunningOneOnReload) {
  const std::string dir = certificates();
  const std::string deep = "tls_server_config: " + std::string(200000, '[') + std::string(200000, ']') + "\n";
  const std::string fifo = dir + "/web.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string fifoCert = "tls_server_config:\n  cert_file: web.fifo\n  key_file: server.key\n";

  // At start: status 2 with the reason, at once, rather than a crash or a wait for ever.
  const std::string broken = dir + "/broken-start.yml";
  const struct {
    std::string path;
    std::string text;
    std::string reason;
  } kAtStart[] = {
      {broken, deep, broken + ":1: nested deeper than 16 levels"},
      {broken, fifoCert, broken + ":2: cert_file " + fifo + ": a FIFO, not a regular file"},
      {fifo, "", fifo + ": a FIFO, not a regular file"},
  };
  for (const auto& c : kAtStart) {
    if (c.path != fifo) writeFile(c.path, c.text);
    const auto result = DaemonProcess::run({"--source", "sim", "--metrics", "127.0.0.1:1", "--web.config.file", c.path});
    EXPECT_EQ(result.code, 2) << result.err;
    EXPECT_NE(result.err.find(c.reason), npos) << result.err;
  }

  // On SIGHUP: logged, the running configuration stays, the UDP side answers meanwhile;
  // last the file itself replaced by a FIFO.
  const std::uint16_t port = freePort();
  const std::string config = webConfig("kept-on-error.yml", "server", "", "  alice: " + bcrypt("secret") + "\n");
  DaemonProcess daemon({"--metrics", loopbackAt(port), "--web.config.file", config});
  ASSERT_EQ(daemon.start(), "");
  const std::string good = readFile(config);
  const std::pair<std::string, std::string> kOnReload[] = {
      {deep, config + ":1: nested deeper than 16 levels"},
      {fifoCert, config + ":2: cert_file " + fifo + ": a FIFO, not a regular file"},
      {"", config + ": a FIFO, not a regular file"},
  };
  UdpPeer peer;
  std::uint32_t sequence = 0;
  for (const auto& [text, reason] : kOnReload) {
    if (!text.empty()) writeFile(config, text);
    if (text.empty()) ASSERT_EQ(std::rename(fifo.c_str(), config.c_str()), 0);
    daemon.signal(SIGHUP);
    EXPECT_TRUE(daemon.waitForLog("configuration not reloaded: " + reason + "; the settings in force stay", 2000))
        << daemon.log();
    EXPECT_TRUE(peer.ask(daemon.port(), ++sequence, 500).has_value());
    EXPECT_TRUE(startsWith(curl(port, client() + " -u alice:secret"), kOk));
  }
  std::remove(config.c_str());
  writeFile(config, good);
  EXPECT_TRUE(daemon.running());
}

TEST(MetricsHttp, AReloadClosesTheKeptConnectionsOfClientsItNoLongerAllows) {
  const std::uint16_t port = freePort();
  const std::string config = tempFileWith("[qrvld]\nallow = 127.0.0.1 127.0.0.2\n");
  DaemonProcess daemon({"--config", config, "--metrics", loopbackAt(port)});
  ASSERT_EQ(daemon.start(), "");
  const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  HttpConnection refused(port, "127.0.0.2");
  HttpConnection kept(port, kLoopback);
  bool closed = false;
  for (HttpConnection* connection : {&refused, &kept}) {
    connection->send(request);
    EXPECT_TRUE(startsWith(connection->receive(300, closed), kOk));
    EXPECT_FALSE(closed);
  }

  writeFile(config, "[qrvld]\nallow = 127.0.0.1\n");
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("reloaded", 2000)) << daemon.log();
  refused.receive(2000, closed);
  EXPECT_TRUE(closed);
  kept.send(request);
  EXPECT_TRUE(startsWith(kept.receive(300, closed), kOk));
  EXPECT_FALSE(closed);
  std::remove(config.c_str());
}

TEST(MetricsHttp, OffersOnTls12OnlyEcdheWithAesGcmOrChaCha20) {
  const std::uint16_t port = freePort();
  const std::string users = "  alice: " + bcrypt("secret") + "\n";
  const std::string config = webConfig("suites.yml", "server", "", users);
  DaemonProcess daemon({"--metrics", loopbackAt(port), "--web.config.file", config});
  ASSERT_EQ(daemon.start(), "");

  // An ECDSA certificate: AES-GCM and ChaCha20 with ECDHE; not CBC, not CCM, not below 1.2.
  for (const char* good : {"-tls1_2 -cipher ECDHE-ECDSA-AES128-GCM-SHA256", "-tls1_2 -cipher ECDHE-ECDSA-AES256-GCM-SHA384",
                           "-tls1_2 -cipher ECDHE-ECDSA-CHACHA20-POLY1305", "-tls1_3 -ciphersuites TLS_AES_256_GCM_SHA384"}) {
    EXPECT_TRUE(handshakes(port, good)) << good;
  }
  for (const char* bad : {"-tls1_2 -cipher ECDHE-ECDSA-AES128-SHA", "-tls1_2 -cipher ECDHE-ECDSA-AES128-SHA256",
                          "-tls1_2 -cipher ECDHE-ECDSA-AES128-CCM", "-tls1_3 -ciphersuites TLS_AES_128_CCM_SHA256",
                          "-tls1_1 -cipher ECDHE-ECDSA-AES128-SHA@SECLEVEL=0"}) {
    EXPECT_FALSE(handshakes(port, bad)) << bad;
  }

  // An RSA certificate: no static RSA key exchange, no DHE.
  webConfig("suites.yml", "rsa", "", users);
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("reloaded " + config, 2000)) << daemon.log();
  EXPECT_TRUE(handshakes(port, "-tls1_2 -cipher ECDHE-RSA-AES256-GCM-SHA384"));
  for (const char* bad : {"-tls1_2 -cipher AES128-GCM-SHA256", "-tls1_2 -cipher DHE-RSA-AES128-GCM-SHA256",
                          "-tls1_2 -cipher ECDHE-RSA-AES128-SHA", "-tls1_2 -cipher AES256-SHA"}) {
    EXPECT_FALSE(handshakes(port, bad)) << bad;
  }

  // cipher_suites and max_version as the exporters take them.
  webConfig("suites.yml", "rsa", "  max_version: TLS12\n  cipher_suites: [TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305]\n",
            users);
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("TLS 1.2, 1 user", 2000)) << daemon.log();
  EXPECT_TRUE(handshakes(port, "-tls1_2 -cipher ECDHE-RSA-CHACHA20-POLY1305"));
  EXPECT_FALSE(handshakes(port, "-tls1_2 -cipher ECDHE-RSA-AES128-GCM-SHA256"));
  EXPECT_FALSE(handshakes(port, "-tls1_3"));
  EXPECT_TRUE(startsWith(curl(port, client() + " -u alice:secret"), kOk));
}
