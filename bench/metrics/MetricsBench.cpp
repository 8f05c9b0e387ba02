// Prints, in one run, qrvld's metrics beside Prometheus's node exporter (hwmon collector
// only) on the same fake sysfs tree: the time one scrape takes over a kept-alive loopback
// connection (mean, p50, p99) and the resident memory of each process after the scrapes.
// Then qrvld alone with a web configuration: a scrape over TLS with a password already
// checked against plain HTTP, both by curl over one kept-alive connection; and the CPU
// qrvld spends while 100 wrong passwords a second arrive, with the UDP round trip meanwhile.
// Loopback only; every server is stopped at the end.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "DaemonProcess.h"
#include "TempFiles.h"
#include "UdpPeer.h"

using Clock = std::chrono::steady_clock;

namespace {
const std::string kTree = QRVL_TREES "/intel";
// Both servers are scraped in alternating rounds, so a neighbour's load on the shared
// machine falls on both alike.
constexpr int kRounds = 10;
constexpr int kScrapesPerRound = 200;
constexpr int kWarmUp = 50;

// A kept-alive HTTP/1.1 connection, as Prometheus keeps one to each target.
class Scraper {
 public:
  explicit Scraper(std::uint16_t port) : port_(port) {}
  ~Scraper() { drop(); }

  // The body of one GET /metrics; empty on failure. The node exporter sends its body in
  // chunks, qrvld with a length.
  std::string scrape() {
    if (fd_ < 0) open();
    const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    in_.clear();
    if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return fail();
    std::size_t headerEnd = 0;
    if (!until("\r\n\r\n", 0, headerEnd)) return fail();
    const std::string headers = in_.substr(0, headerEnd);
    std::size_t at = headerEnd + 4;
    std::string body;
    if (headers.find("Transfer-Encoding: chunked") != std::string::npos) {
      for (;;) {
        std::size_t lineEnd = 0;
        if (!until("\r\n", at, lineEnd)) return fail();
        const std::size_t size = std::stoul(in_.substr(at, lineEnd - at), nullptr, 16);
        if (!have(lineEnd + 2 + size + 2)) return fail();
        body += in_.substr(lineEnd + 2, size);
        at = lineEnd + 2 + size + 2;
        if (size == 0) break;
      }
    } else {
      const auto length = headers.find("Content-Length: ");
      if (length == std::string::npos) return fail();
      const std::size_t size = std::stoul(headers.substr(length + 16));
      if (!have(at + size)) return fail();
      body = in_.substr(at, size);
    }
    // A server that says it closes is connected to again for the next scrape.
    if (headers.find("Connection: close") != std::string::npos) drop();
    return body;
  }

 private:
  void open() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port_);
    inet_pton(AF_INET, qrvltest::kLoopback, &sa.sin_addr);
    connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  }
  void drop() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  std::string fail() {
    drop();
    return "";
  }
  // Reads until the response holds `size` bytes.
  bool have(std::size_t size) {
    char buffer[65536];
    while (in_.size() < size) {
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      in_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  // Reads until `text` appears at or after `from`; `at` is where.
  bool until(const char* text, std::size_t from, std::size_t& at) {
    while ((at = in_.find(text, from)) == std::string::npos) {
      if (!have(in_.size() + 1)) return false;
    }
    return true;
  }

  std::uint16_t port_;
  int fd_ = -1;
  std::string in_;
};

struct Figures {
  std::vector<double> us;
  int failures = 0;
};

void measure(Scraper& scraper, int count, Figures& figures) {
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    const bool ok = !scraper.scrape().empty();
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (ok) {
      figures.us.push_back(us);
    } else {
      ++figures.failures;
    }
  }
}

std::string status(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) == 0) return line.substr(line.find_first_not_of(" \t", field.size() + 1));
  }
  return "?";
}

void report(const char* name, Figures figures, pid_t pid, std::size_t bytes, int series) {
  std::sort(figures.us.begin(), figures.us.end());
  const double mean = std::accumulate(figures.us.begin(), figures.us.end(), 0.0) / figures.us.size();
  std::printf("%-14s %8.1f %8.1f %8.1f %8d %8zu %7d   %s (peak %s)\n", name, mean, figures.us[figures.us.size() / 2],
              figures.us[figures.us.size() * 99 / 100], figures.failures, bytes, series, status(pid, "VmRSS").c_str(),
              status(pid, "VmHWM").c_str());
}

int lines(const std::string& text, const std::string& prefix) {
  int n = 0;
  for (std::size_t at = 0; (at = text.find('\n' + prefix, at)) != std::string::npos; ++at) ++n;
  return n;
}
}  // namespace

// Per-transfer seconds curl reports for `count` GETs of `url` over one connection.
std::vector<double> curlTimes(const std::string& options, const std::string& url, int count) {
  std::string command = "curl -s -w '%{time_total}\\n' " + options;
  for (int i = 0; i < count; ++i) command += " -o /dev/null " + url;
  std::vector<double> times;
  FILE* pipe = popen(command.c_str(), "r");
  for (double t; std::fscanf(pipe, "%lf", &t) == 1;) times.push_back(t * 1e6);
  pclose(pipe);
  std::sort(times.begin(), times.end());
  return times;
}

// User plus system CPU time of `pid` so far, in seconds.
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 1; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// 20 reloads that each swap the certificate, so that a new server replaces the old one,
// while a guesser keeps a bcrypt in progress and a client asks over UDP every 5 ms.
int reloadBench(qrvltest::DaemonProcess& tls, std::uint16_t port, const std::string& folder, const std::string& hash) {
  const auto reloadsLogged = [&] {
    const std::string log = tls.log();
    int count = 0;
    for (std::size_t at = log.find("\nreloaded "); at != std::string::npos; at = log.find("\nreloaded ", at + 1)) ++count;
    return count;
  };
  std::atomic<bool> reloading{true};
  std::vector<double> rtt;
  std::thread asker([&] {
    qrvltest::UdpPeer peer;
    for (std::uint32_t i = 0; reloading; ++i) {
      const auto start = Clock::now();
      peer.sendTo(tls.port(), qrvltest::request(i));
      if (peer.receive(1000).has_value()) rtt.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const pid_t guesser = fork();
  if (guesser == 0) {
    const std::string command = "curl -s --rate 20/s -o /dev/null -k -u prometheus:guess 'https://127.0.0.1:" +
                                std::to_string(port) + "/metrics?[1-400]'";
    execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto start = Clock::now();
  int failed = 0;
  for (int i = 0; i < 20; ++i) {
    const std::string name = i % 2 == 0 ? "renewed" : "server";
    std::ofstream(folder + "/web.yml") << "tls_server_config:\n  cert_file: " << name << ".crt\n  key_file: " << name
                                       << ".key\nbasic_auth_users:\n  prometheus: " << hash;
    const int before = reloadsLogged();
    tls.signal(SIGHUP);
    const auto end = Clock::now() + std::chrono::seconds(3);
    while (reloadsLogged() == before && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    failed += reloadsLogged() == before;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const std::chrono::duration<double> took = Clock::now() - start;
  reloading = false;
  asker.join();
  kill(guesser, SIGTERM);
  waitpid(guesser, nullptr, 0);
  std::sort(rtt.begin(), rtt.end());
  if (rtt.empty() || failed > 0) {
    std::fprintf(stderr, "%d of 20 reloads not logged\n", failed);
    return 1;
  }
  std::printf("\n20 reloads with a new certificate in %.1f s, a guesser's bcrypt in progress: UDP round trip "
              "p50/p99/max us %.0f/%.0f/%.0f over %zu requests\n",
              took.count(), rtt[rtt.size() / 2], rtt[rtt.size() * 99 / 100], rtt.back(), rtt.size());
  return 0;
}

int tlsBench() {
  const std::string folder = qrvltest::tempFolder("qrvl-bench");
  FILE* hash = popen("htpasswd -nbBC 10 prometheus secret | cut -d: -f2", "r");
  char line[128] = {};
  if (std::system(("bash " QRVL_MAKE_CERTS " " + folder).c_str()) != 0 ||
      std::fgets(line, sizeof line, hash) == nullptr) {
    std::fprintf(stderr, "no certificates or no htpasswd (apache2-utils)\n");
    return 1;
  }
  pclose(hash);
  std::ofstream(folder + "/web.yml") << "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n"
                                     << "basic_auth_users:\n  prometheus: " << line;
  const std::uint16_t plainPort = qrvltest::freePort();
  const std::uint16_t tlsPort = qrvltest::freePort();
  const std::string sysfs = kTree + "/class/hwmon";
  qrvltest::DaemonProcess plain(
      {"--source", "hwmon", "--sysfs-root", sysfs, "--metrics", qrvltest::loopbackAt(plainPort)});
  qrvltest::DaemonProcess tls({"--source", "hwmon", "--sysfs-root", sysfs, "--metrics",
                               qrvltest::loopbackAt(tlsPort), "--web.config.file", folder + "/web.yml"});
  std::string error;
  if (!plain.start(error) || !tls.start(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::string trust = "--cacert " + folder + "/ca.crt -u prometheus:secret";
  const auto plainTimes = curlTimes("", "http://" + qrvltest::loopbackAt(plainPort) + "/metrics", 500);
  const auto tlsTimes = curlTimes(trust, "https://" + qrvltest::loopbackAt(tlsPort) + "/metrics", 500);
  std::printf("\nscrape by curl over one kept-alive connection, 500 each\n%-26s %8s %8s\n", "", "p50 us", "p99 us");
  for (const auto& [name, t] : {std::pair<const char*, const std::vector<double>&>{"plain HTTP", plainTimes},
                                {"TLS, password remembered", tlsTimes}}) {
    if (t.empty()) return 1;
    std::printf("%-26s %8.0f %8.0f\n", name, t[t.size() / 2], t[t.size() * 99 / 100]);
  }

  // 100 wrong passwords a second for 5 s, each on a connection of its own as a guesser's.
  qrvltest::UdpPeer peer;
  std::vector<double> idleRtt;
  std::vector<double> busyRtt;
  const auto roundTrips = [&](std::vector<double>& out, int count) {
    for (int i = 0; i < count; ++i) {
      const auto start = Clock::now();
      peer.sendTo(tls.port(), qrvltest::request(static_cast<std::uint32_t>(i)));
      if (peer.receive(1000).has_value()) {
        out.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::sort(out.begin(), out.end());
  };
  roundTrips(idleRtt, 200);
  // One curl, as a guesser's script would run it: a new TLS connection for every try, since
  // qrvld closes the connection after a refusal.
  const std::string codes = folder + "/codes";
  const std::string guesser = "curl -s --rate 100/s -o /dev/null -w '%{http_code}\\n' --cacert " + folder +
                              "/ca.crt -u prometheus:guess 'https://127.0.0.1:" + std::to_string(tlsPort) +
                              "/metrics?[1-500]' >" + codes;
  const double before = cpuSeconds(tls.pid());
  const auto start = Clock::now();
  const pid_t attack = fork();
  if (attack == 0) {
    execl("/bin/bash", "bash", "-c", guesser.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  roundTrips(busyRtt, 400);
  waitpid(attack, nullptr, 0);
  const std::chrono::duration<double> took = Clock::now() - start;
  const double cpu = cpuSeconds(tls.pid()) - before;
  int refused = 0;
  int busy = 0;
  std::ifstream answers(codes);
  for (std::string code; answers >> code;) {
    refused += code == "401";
    busy += code == "429";
  }
  std::printf(
      "\n500 wrong passwords in %.1f s (%.0f a second, each on a new TLS connection): %d refused after a bcrypt "
      "check, %d answered 429 once the budget was spent; qrvld used %.0f ms of CPU a second (%.1f%% of a core)\n",
      took.count(), 500 / took.count(), refused, busy, 1000 * cpu / took.count(), 100 * cpu / took.count());
  std::printf("UDP round trip p50/p99 us: %.0f/%.0f without them, %.0f/%.0f meanwhile\n", idleRtt[idleRtt.size() / 2],
              idleRtt[idleRtt.size() * 99 / 100], busyRtt[busyRtt.size() / 2], busyRtt[busyRtt.size() * 99 / 100]);
  const int reloads = reloadBench(tls, tlsPort, folder, line);
  std::system(("rm -rf " + folder).c_str());
  return reloads;
}

int main() {
  const std::uint16_t qrvldPort = qrvltest::freePort();
  const std::uint16_t exporterPort = qrvltest::freePort();
  qrvltest::DaemonProcess daemon({"--source", "hwmon", "--sysfs-root", kTree + "/class/hwmon", "--metrics",
                                  qrvltest::loopbackAt(qrvldPort)});
  std::string error;
  if (!daemon.start(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const pid_t exporter = fork();
  if (exporter == 0) {
    freopen("/dev/null", "w", stderr);
    const std::string sysfs = "--path.sysfs=" + kTree;
    const std::string listen = "--web.listen-address=127.0.0.1:" + std::to_string(exporterPort);
    execlp("prometheus-node-exporter", "prometheus-node-exporter", sysfs.c_str(), "--collector.disable-defaults",
           "--collector.hwmon", listen.c_str(), "--log.level=error", static_cast<char*>(nullptr));
    _exit(127);
  }
  Scraper qrvld(qrvldPort);
  Scraper node(exporterPort);
  std::string qrvldText;
  std::string nodeText;
  for (int i = 0; i < 100 && (nodeText = node.scrape()).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  qrvldText = qrvld.scrape();
  if (nodeText.empty() || qrvldText.empty()) {
    std::fprintf(stderr, "no scrape from %s\n",
                 nodeText.empty() ? "the node exporter (prometheus-node-exporter)" : "qrvld");
    kill(exporter, SIGTERM);
    waitpid(exporter, nullptr, 0);
    return 1;
  }
  Figures qrvldFigures;
  Figures nodeFigures;
  Figures unused;
  measure(qrvld, kWarmUp, unused);
  measure(node, kWarmUp, unused);
  for (int round = 0; round < kRounds; ++round) {
    measure(qrvld, kScrapesPerRound, qrvldFigures);
    measure(node, kScrapesPerRound, nodeFigures);
  }

  std::printf("%d scrapes of each over a kept-alive loopback connection, tree %s\n", kRounds * kScrapesPerRound,
              kTree.c_str());
  std::printf("%-14s %8s %8s %8s %8s %8s %7s   %s\n", "server", "mean us", "p50 us", "p99 us", "failed", "bytes",
              "hwmon", "resident memory");
  report("qrvld", qrvldFigures, daemon.pid(), qrvldText.size(), lines(qrvldText, "qrvl_hwmon_"));
  report("node_exporter", nodeFigures, exporter, nodeText.size(), lines(nodeText, "node_hwmon_"));
  std::sort(qrvldFigures.us.begin(), qrvldFigures.us.end());
  std::sort(nodeFigures.us.begin(), nodeFigures.us.end());
  std::printf("qrvld's p50 scrape is %.1f%% of the node exporter's (goal: at most 20%%)\n",
              100.0 * qrvldFigures.us[qrvldFigures.us.size() / 2] / nodeFigures.us[nodeFigures.us.size() / 2]);
  kill(exporter, SIGTERM);
  waitpid(exporter, nullptr, 0);
  return tlsBench();
}
