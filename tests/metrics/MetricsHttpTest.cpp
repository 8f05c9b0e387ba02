// qrvld's HTTP side as Prometheus and a hostile client see it: a real qrvld on loopback,
// scraped over TCP while its UDP side is asked as well.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DaemonProcess.h"
#include "HttpConnection.h"
#include "UdpPeer.h"

using namespace qrvltest;
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
}  // namespace

TEST(MetricsHttp, ServesTheSnapshotAtMetricsOnly) {
  const std::uint16_t port = freePort();
  DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", kIntel, "--metrics", "127.0.0.1:" + std::to_string(port)});
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;

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
  client.sendTo("127.0.0.1", daemon.port(), {1, 2, 3});
  for (std::uint32_t sequence : {1u, 2u}) {
    client.sendTo("127.0.0.1", daemon.port(), request(sequence));
    EXPECT_TRUE(client.receive(2000).has_value());
  }
  EXPECT_TRUE(scrapeShows(port, "qrvl_requests_answered_total 2"));
  EXPECT_TRUE(scrapeShows(port, "qrvl_requests_dropped_total{reason=\"wrong-size\"} 1"));
}

TEST(MetricsHttp, AnswersOnlyTheClientsTheAllowListAdmits) {
  const std::uint16_t port = freePort();
  char config[] = "/tmp/qrvld-config-XXXXXX";
  close(mkstemp(config));
  std::ofstream(config) << "[qrvld]\nallow = 127.0.0.2\n";
  DaemonProcess daemon({"--config", config, "--metrics", "127.0.0.1:" + std::to_string(port)});
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;
  // Refused clients are disconnected without an answer.
  EXPECT_EQ(httpRequest(port, "GET", "/metrics", "127.0.0.1"), "");
  EXPECT_TRUE(startsWith(httpRequest(port, "GET", "/metrics", "127.0.0.2"), "HTTP/1.1 200 OK\r\n"));

  // A reloaded list applies to the clients that connect from then on.
  std::ofstream(config) << "[qrvld]\nallow = 127.0.0.1\n";
  daemon.signal(SIGHUP);
  ASSERT_TRUE(daemon.waitForLog("reloaded", 2000)) << daemon.log();
  EXPECT_TRUE(startsWith(httpRequest(port, "GET", "/metrics", "127.0.0.1"), "HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(httpRequest(port, "GET", "/metrics", "127.0.0.2"), "");
  std::remove(config);
}

TEST(MetricsHttp, IdleAndOversizedClientsCostTheUdpSideNothing) {
  const std::uint16_t port = freePort();
  DaemonProcess daemon({"--metrics", "127.0.0.1:" + std::to_string(port)});
  std::string error;
  ASSERT_TRUE(daemon.start(error)) << error;

  // Eight idle connections take every place: a ninth client waits, UDP answers at once.
  std::vector<std::unique_ptr<HttpConnection>> idle;
  for (int i = 0; i < 8; ++i) idle.push_back(std::make_unique<HttpConnection>(port));
  const auto opened = Clock::now();
  HttpConnection ninth(port);
  ninth.send("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  bool closed = false;
  EXPECT_EQ(ninth.receive(1000, closed), "");
  UdpPeer client;
  client.sendTo("127.0.0.1", daemon.port(), request(7));
  EXPECT_TRUE(client.receive(200).has_value());

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
