// Prints, in one run, qrvld beside a bare UDP echo server, both pinned to one core with
// the clients on the other: requests per second, round trips with a raw client and with
// QRVLPLUG::Get, then qrvld under a junk flood that shares its core, and its resident
// memory; last, QRVLPLUG::Get from the tests' stand-in for LibreHardwareMonitor's web
// server with a tree of a desktop's size. Loopback only; the flood stops by itself.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DaemonProcess.h"
#include "QRVLPLUG.h"
#include "UdpPeer.h"
#include "qrvl/Wire.h"

using Clock = std::chrono::steady_clock;
using qrvltest::DaemonProcess;
namespace wire = qrvl::wire;

namespace {
constexpr int kServerCpu = 0;
constexpr int kClientCpu = 1;
// Both servers are measured in alternating rounds, so a neighbour's load on the shared
// machine falls on both alike.
constexpr int kRounds = 5;
constexpr int kRoundTripsPerRound = 4000;
constexpr int kWarmUp = 500;
constexpr double kLoadSecondsPerRound = 1.0;
constexpr int kInFlight = 256;
constexpr int kBatch = 64;
constexpr int kFloodSeconds = 15;
constexpr long long kFloodMaxDatagrams = 20000000;
constexpr auto kGetInterval = std::chrono::milliseconds(100);
constexpr unsigned kGetTimeoutMs = 1000;

void pin(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  sched_setaffinity(0, sizeof set, &set);
}

struct Percentiles {
  double p50;
  double p99;
};

Percentiles percentiles(std::vector<double> us) {
  if (us.empty()) return {0, 0};
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

double microseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// A UDP socket on `source` connected to 127.0.0.1:`port`.
int connectedSocket(std::uint16_t port, const char* source = "127.0.0.1") {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  inet_pton(AF_INET, source, &sa.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  return fd;
}

// A child process on the daemon's processor that answers every datagram, one recvfrom and
// one sendto at a time, with 120 bytes: a valid reading that carries the request's
// sequence number, so that Get accepts it.
pid_t startEcho(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  socklen_t length = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length);
  port = ntohs(sa.sin_port);
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    pin(kServerCpu);
    const std::uint8_t emptyRecord[wire::kRecordSize] = {};
    std::uint8_t response[wire::kResponseSize];
    wire::encodeResponse(0, wire::kStatusReading, emptyRecord, response);
    std::uint8_t buffer[2048];
    for (;;) {
      sockaddr_storage from;
      socklen_t fromLength = sizeof from;
      const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (n < 12) continue;
      std::memcpy(response + 8, buffer + 8, 4);
      sendto(fd, response, sizeof response, 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
  }
  close(fd);
  return pid;
}

// Round trips with no checks at all, on a socket connected to the server: send 128 bytes,
// wait, receive.
void measureRaw(int fd, std::uint32_t& sequence, int count, std::vector<double>& us) {
  std::uint8_t request[wire::kRequestSize];
  std::uint8_t reply[2048];
  for (int i = 0; i < count; ++i) {
    wire::encodeRequest(++sequence, request);
    const auto start = Clock::now();
    send(fd, request, sizeof request, 0);
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 1000);
    recv(fd, reply, sizeof reply, MSG_DONTWAIT);
    if (i >= kWarmUp) us.push_back(microseconds(start));
  }
}

void measureGets(QRVLPLUG& plug, int count, std::vector<double>& us) {
  LMDATA data;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    if (!plug.Get(data, 1000)) {
      std::fprintf(stderr, "Get failed: %s\n", plug.LastFailure());
      continue;
    }
    if (i >= kWarmUp) us.push_back(microseconds(start));
  }
}

// A tree as LibreHardwareMonitor's web server gives one for a desktop PC: a 16-thread CPU,
// a mainboard chip, a GPU, memory and two disks; `count` is its number of sensors.
std::string desktopTree(int& count) {
  count = 0;
  int id = 0;
  const auto sensor = [&](const std::string& path, const std::string& name, const char* type, double value,
                          const char* unit) {
    ++count;
    char text[64];
    std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    return "{\"id\":" + std::to_string(++id) + ",\"Text\":\"" + name + "\",\"Min\":\"" + text + "\",\"Value\":\"" +
           text + "\",\"Max\":\"" + text + "\",\"SensorId\":\"" + path + "\",\"Type\":\"" + type +
           "\",\"RawMin\":\"" + text + "\",\"RawValue\":\"" + text + "\",\"RawMax\":\"" + text +
           "\",\"ImageURL\":\"images/transparent.png\",\"Children\":[]}";
  };
  const auto node = [&](const std::string& name, const std::string& extra, const std::vector<std::string>& children) {
    std::string text = "{\"id\":" + std::to_string(++id) + ",\"Text\":\"" + name +
                       "\",\"Min\":\"\",\"Value\":\"\",\"Max\":\"\"," + extra +
                       "\"ImageURL\":\"images_icon/chip.png\",\"Children\":[";
    for (std::size_t i = 0; i < children.size(); ++i) text += (i ? "," : "") + children[i];
    return text + "]}";
  };
  const auto group = [&](const std::string& hardware, const char* kind, const char* type, const char* unit,
                         const std::vector<std::string>& names, double base) {
    std::vector<std::string> sensors;
    for (std::size_t i = 0; i < names.size(); ++i) {
      sensors.push_back(sensor(hardware + "/" + kind + "/" + std::to_string(i), names[i], type, base + i, unit));
    }
    return node(std::string(type) + "s", "", sensors);
  };
  const auto numbered = [](const std::string& prefix, int n) {
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) names.push_back(prefix + " #" + std::to_string(i));
    return names;
  };
  std::vector<std::string> cpuGroups = {
      group("/amdcpu/0", "temperature", "Temperature", "\u00b0C", {"Core (Tctl/Tdie)", "CCD1 (Tdie)", "CCD2 (Tdie)"}, 45),
      group("/amdcpu/0", "voltage", "Voltage", "V", {"Core (SVI2 TFN)", "SoC (SVI2 TFN)", "Core #1 VID", "Core #2 VID",
                                                    "Core #3 VID", "Core #4 VID", "Core #5 VID", "Core #6 VID",
                                                    "Core #7 VID", "Core #8 VID"}, 1),
      group("/amdcpu/0", "factor", "Factor", "", numbered("Core", 8), 36),
      group("/amdcpu/0", "clock", "Clock", "MHz", numbered("Core", 16), 3600),
      group("/amdcpu/0", "load", "Load", "%", numbered("CPU Core", 16), 10),
      group("/amdcpu/0", "power", "Power", "W", numbered("Core", 8), 5)};
  std::vector<std::string> boardGroups = {
      group("/lpc/nct6798d/0", "voltage", "Voltage", "V", {"Vcore", "+5V", "AVCC", "+3.3V", "+12V", "Voltage #6",
                                                          "Voltage #7", "+3V Standby", "CMOS Battery", "CPU Termination",
                                                          "Voltage #11", "Voltage #12", "Voltage #13", "Voltage #14"}, 1),
      group("/lpc/nct6798d/0", "temperature", "Temperature", "\u00b0C", {"CPU", "System", "VRM MOS", "PCH", "Temperature #5",
                                                                        "Temperature #6", "Temperature #7"}, 30),
      group("/lpc/nct6798d/0", "fan", "Fan", "RPM", {"CPU Fan", "Chassis Fan #1", "Chassis Fan #2", "Fan #4", "Fan #5",
                                                     "Fan #6", "AIO Pump"}, 800),
      group("/lpc/nct6798d/0", "control", "Control", "%", numbered("Fan", 7), 40)};
  std::vector<std::string> gpuGroups = {
      group("/gpu-nvidia/0", "temperature", "Temperature", "\u00b0C", {"GPU Core", "GPU Hot Spot", "GPU Memory Junction"}, 55),
      group("/gpu-nvidia/0", "clock", "Clock", "MHz", {"GPU Core", "GPU Memory", "GPU Shader", "GPU Video"}, 1500),
      group("/gpu-nvidia/0", "load", "Load", "%", numbered("GPU", 18), 20),
      group("/gpu-nvidia/0", "fan", "Fan", "RPM", {"GPU Fan 1", "GPU Fan 2"}, 1400),
      group("/gpu-nvidia/0", "smalldata", "SmallData", "MB", {"GPU Memory Free", "GPU Memory Used", "GPU Memory Total"}, 4000),
      group("/gpu-nvidia/0", "power", "Power", "W", {"GPU Package", "GPU Board"}, 120)};
  std::vector<std::string> memoryGroups = {
      group("/ram", "load", "Load", "%", {"Memory", "Virtual Memory"}, 40),
      group("/ram", "data", "Data", "GB", {"Memory Used", "Memory Available", "Virtual Memory Used", "Virtual Memory Available"}, 8)};
  std::vector<std::string> disks;
  for (int d = 0; d < 2; ++d) {
    const std::string path = "/nvme/" + std::to_string(d);
    disks.push_back(node("NVMe SSD " + std::to_string(d), "\"HardwareId\":\"" + path + "\",",
                         {group(path, "temperature", "Temperature", "\u00b0C", {"Composite Temperature", "Temperature #2"}, 38),
                          group(path, "load", "Load", "%", {"Used Space", "Read Activity", "Write Activity", "Total Activity"}, 1),
                          group(path, "throughput", "Throughput", "B/s", {"Read Rate", "Write Rate"}, 1000)}));
  }
  std::vector<std::string> hardware = {
      node("ASUS ROG STRIX B550-F GAMING", "\"HardwareId\":\"/motherboard\",",
           {node("Nuvoton NCT6798D", "\"HardwareId\":\"/lpc/nct6798d/0\",", boardGroups)}),
      node("AMD Ryzen 7 5800X", "\"HardwareId\":\"/amdcpu/0\",", cpuGroups),
      node("NVIDIA GeForce RTX 3070", "\"HardwareId\":\"/gpu-nvidia/0\",", gpuGroups),
      node("Generic Memory", "\"HardwareId\":\"/ram\",", memoryGroups)};
  hardware.insert(hardware.end(), disks.begin(), disks.end());
  return "{\"id\":0,\"Text\":\"Sensor\",\"Min\":\"Min\",\"Value\":\"Value\",\"Max\":\"Max\",\"ImageURL\":\"\","
         "\"Children\":[" + node("DESKTOP", "", hardware) + "]}";
}

// The stand-in web server on a free loopback port serving the tree in `dir`.
pid_t startWebServer(const std::string& dir, std::uint16_t& port) {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(probe, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  close(probe);
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    pin(kServerCpu);
    // Its log has a line per request, which would bury the figures.
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDERR_FILENO);
    const std::string portText = std::to_string(port);
    const std::string control = dir + "/control";
    execl(QRVL_FAKE_WEB_SERVER, QRVL_FAKE_WEB_SERVER, "--listen", "127.0.0.1", "--port", portText.c_str(), "--trees",
          dir.c_str(), "--control", control.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Processor time of `pid` as the scheduler counts it, to the nanosecond: the tick-sampled
// figures of /proc/PID/stat miss much of a process that sleeps and wakes all the time.
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  double ns = 0;
  in >> ns;
  return ns / 1e9;
}

std::string vmRss(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 6));
  }
  return "?";
}

struct Load {
  long long answered = 0;
  double seconds = 0;
  double serverCpuSeconds = 0;
  int stalls = 0;  // waits of 50 ms for an answer that never came
};

// Keeps kInFlight requests outstanding for `seconds`, in batches of system calls so the
// client costs less than the server; adds to `total`.
void load(std::uint16_t port, pid_t server, double seconds, Load& total) {
  const int fd = connectedSocket(port);
  int size = 4 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  std::array<std::uint8_t[wire::kRequestSize], kBatch> requests;
  std::vector<std::uint8_t> replies(kBatch * 256);
  std::array<iovec, kBatch> sendIov;
  std::array<iovec, kBatch> recvIov;
  std::array<mmsghdr, kBatch> sendMsgs{};
  std::array<mmsghdr, kBatch> recvMsgs{};
  for (int i = 0; i < kBatch; ++i) {
    wire::encodeRequest(static_cast<std::uint32_t>(i), requests[i]);
    sendIov[i] = {requests[i], sizeof requests[i]};
    recvIov[i] = {replies.data() + i * 256, 256};
    sendMsgs[i].msg_hdr.msg_iov = &sendIov[i];
    sendMsgs[i].msg_hdr.msg_iovlen = 1;
    recvMsgs[i].msg_hdr.msg_iov = &recvIov[i];
    recvMsgs[i].msg_hdr.msg_iovlen = 1;
  }
  const double cpuBefore = cpuSeconds(server);
  for (int sent = 0; sent < kInFlight; sent += kBatch) sendmmsg(fd, sendMsgs.data(), kBatch, 0);
  long long answered = 0;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) == 0) {
      // Requests lost to a full queue are replaced so the window stays full.
      ++total.stalls;
      sendmmsg(fd, sendMsgs.data(), kBatch, 0);
      continue;
    }
    const int n = recvmmsg(fd, recvMsgs.data(), kBatch, MSG_DONTWAIT, nullptr);
    if (n <= 0) continue;
    answered += n;
    sendmmsg(fd, sendMsgs.data(), static_cast<unsigned>(n), 0);
  }
  total.seconds += std::chrono::duration<double>(Clock::now() - start).count();
  total.serverCpuSeconds += cpuSeconds(server) - cpuBefore;
  total.answered += answered;
  close(fd);
}

// Junk from 127.0.0.2 at full speed, in a child process on the daemon's processor, until
// `seconds` have passed or kFloodMaxDatagrams are sent; it writes its count to `out`.
pid_t startFlood(std::uint16_t port, int seconds, int out) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  alarm(static_cast<unsigned>(seconds) + 5);
  pin(kServerCpu);
  const int fd = connectedSocket(port, "127.0.0.2");
  // Three kinds, each failing a different check: too short, wrong magic, and a well-formed
  // header with a padding byte set, which only the last check of the datagram catches.
  std::uint8_t shortOne[40] = {'J', 'U', 'N', 'K'};
  std::uint8_t badMagic[wire::kRequestSize] = {'J', 'U', 'N', 'K'};
  std::uint8_t badPadding[wire::kRequestSize];
  wire::encodeRequest(7, badPadding);
  badPadding[wire::kRequestSize - 1] = 1;
  const iovec kinds[] = {{shortOne, sizeof shortOne}, {badMagic, sizeof badMagic}, {badPadding, sizeof badPadding}};
  std::array<iovec, kBatch> iov;
  std::array<mmsghdr, kBatch> msgs{};
  for (int i = 0; i < kBatch; ++i) {
    iov[i] = kinds[i % 3];
    msgs[i].msg_hdr.msg_iov = &iov[i];
    msgs[i].msg_hdr.msg_iovlen = 1;
  }
  long long sent = 0;
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (sent < kFloodMaxDatagrams && Clock::now() < end) {
    const int n = sendmmsg(fd, msgs.data(), kBatch, 0);
    if (n > 0) sent += n;
  }
  if (write(out, &sent, sizeof sent) != sizeof sent) _exit(1);
  _exit(0);
}

// The daemon's counters from its log, after asking for them with SIGUSR1.
std::vector<std::pair<std::string, long long>> counters(const DaemonProcess& daemon) {
  const std::string marker = "counters on request:";
  auto occurrences = [&] {
    const std::string log = daemon.log();
    int n = 0;
    for (auto at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) ++n;
    return n;
  };
  const int before = occurrences();
  daemon.signal(SIGUSR1);
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (occurrences() == before && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::string log = daemon.log();
  const auto at = log.rfind(marker);
  std::vector<std::pair<std::string, long long>> out;
  if (at == std::string::npos) return out;
  std::istringstream fields(log.substr(at + marker.size(), log.find('\n', at) - at - marker.size()));
  for (std::string field; fields >> field;) {
    const auto eq = field.find('=');
    if (eq != std::string::npos) out.emplace_back(field.substr(0, eq), std::stoll(field.substr(eq + 1)));
  }
  return out;
}

struct SocketState {
  unsigned long queued = 0;      // bytes waiting in the receive queue
  unsigned long long drops = 0;  // datagrams the kernel dropped, the queue being full
};

// The daemon's socket on 127.0.0.1:`port`, from /proc/net/udp.
SocketState socketState(std::uint16_t port) {
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::ifstream in("/proc/net/udp");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, address, remote, state, queues;
    fields >> slot >> address >> remote >> state >> queues;
    if (address != local) continue;
    SocketState out;
    out.queued = std::stoul(queues.substr(queues.find(':') + 1), nullptr, 16);
    for (std::string field; fields >> field;) out.drops = std::stoull(field);
    return out;
  }
  return {};
}

std::string logLine(const std::string& log, const std::string& text) {
  const auto at = log.find(text);
  if (at == std::string::npos) return "(not logged)";
  const auto start = log.rfind('\n', at);
  const auto begin = start == std::string::npos ? 0 : start + 1;
  return log.substr(begin, log.find('\n', at) - begin);
}

void printRoundTrips(const char* what, const std::vector<double>& qrvld, const std::vector<double>& echo) {
  const Percentiles q = percentiles(qrvld);
  const Percentiles e = percentiles(echo);
  std::printf("  %-22s %10.1f %10.1f %10.1f %10.1f %8.2f %8.2f\n", what, q.p50, q.p99, e.p50, e.p99, q.p50 / e.p50,
              q.p99 / e.p99);
}
}  // namespace

int main() {
  pin(kClientCpu);
  DaemonProcess daemon({"--listen", "127.0.0.1"}, 0, kServerCpu);
  std::string error;
  if (!daemon.start(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::string idleRss = vmRss(daemon.pid());
  std::uint16_t echoPort = 0;
  const pid_t echo = startEcho(echoPort);

  // Throughput, then round trips, each alternating between the two servers.
  Load qrvldLoad;
  Load echoLoad;
  for (int round = 0; round < kRounds; ++round) {
    load(daemon.port(), daemon.pid(), kLoadSecondsPerRound, qrvldLoad);
    load(echoPort, echo, kLoadSecondsPerRound, echoLoad);
  }
  const std::string loadedRss = vmRss(daemon.pid());
  const int rawQrvld = connectedSocket(daemon.port());
  const int rawEcho = connectedSocket(echoPort);
  std::uint32_t sequence = 0;
  QRVLPLUG getQrvld;
  QRVLPLUG getEcho;
  getQrvld.Create(("127.0.0.1:" + std::to_string(daemon.port())).c_str());
  getEcho.Create(("127.0.0.1:" + std::to_string(echoPort)).c_str());
  std::vector<double> rawQ, rawE, getQ, getE;
  for (int round = 0; round < kRounds; ++round) {
    measureRaw(rawQrvld, sequence, kRoundTripsPerRound + kWarmUp, rawQ);
    measureRaw(rawEcho, sequence, kRoundTripsPerRound + kWarmUp, rawE);
    measureGets(getQrvld, kRoundTripsPerRound + kWarmUp, getQ);
    measureGets(getEcho, kRoundTripsPerRound + kWarmUp, getE);
  }
  close(rawQrvld);
  close(rawEcho);
  kill(echo, SIGKILL);
  waitpid(echo, nullptr, 0);

  // The flood: junk on the daemon's core, and a client doing Get at its usual pace.
  const auto countersBefore = counters(daemon);
  const unsigned long long dropsBefore = socketState(daemon.port()).drops;
  const std::string floodRss = vmRss(daemon.pid());
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return 1;
  const pid_t flood = startFlood(daemon.port(), kFloodSeconds, pipeFds[1]);
  close(pipeFds[1]);
  QRVLPLUG legitimate;
  legitimate.Create(("127.0.0.1:" + std::to_string(daemon.port())).c_str());
  std::vector<double> legitimateUs;
  int asked = 0;
  const auto floodStart = Clock::now();
  auto next = floodStart + std::chrono::milliseconds(500);
  while (next + std::chrono::milliseconds(kGetTimeoutMs) < floodStart + std::chrono::seconds(kFloodSeconds)) {
    std::this_thread::sleep_until(next);
    next += kGetInterval;
    LMDATA data;
    const auto start = Clock::now();
    ++asked;
    if (legitimate.Get(data, kGetTimeoutMs)) legitimateUs.push_back(microseconds(start));
  }
  long long junk = 0;
  if (read(pipeFds[0], &junk, sizeof junk) != sizeof junk) junk = 0;
  close(pipeFds[0]);
  waitpid(flood, nullptr, 0);
  const auto drainEnd = Clock::now() + std::chrono::seconds(5);
  while (socketState(daemon.port()).queued != 0 && Clock::now() < drainEnd) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto countersAfter = counters(daemon);
  const unsigned long long kernelDrops = socketState(daemon.port()).drops - dropsBefore;
  const std::string afterFloodRss = vmRss(daemon.pid());

  std::printf(
      "qrvld (cpu %d) beside a bare echo server (cpu %d, recvfrom/sendto, 120-byte answers); clients on "
      "cpu %d; %d alternating rounds\n",
      kServerCpu, kServerCpu, kClientCpu, kRounds);
  std::printf("%s\n", logLine(daemon.log(), "receive buffer").c_str());
  std::printf("Throughput, %d requests in flight, %.0f s per server:\n", kInFlight, kRounds * kLoadSecondsPerRound);
  std::printf("  %-22s %14s %10s %18s %8s\n", "", "answered/s", "busy", "per core-second", "stalls");
  for (const auto& [name, l] : {std::pair<const char*, const Load&>{"qrvld", qrvldLoad}, {"bare echo", echoLoad}}) {
    const double rate = static_cast<double>(l.answered) / l.seconds;
    const double busy = l.serverCpuSeconds / l.seconds;
    std::printf("  %-22s %14.0f %9.0f%% %18.0f %8d\n", name, rate, busy * 100, busy > 0 ? rate / busy : 0.0, l.stalls);
  }
  const double qRate = static_cast<double>(qrvldLoad.answered) / qrvldLoad.seconds;
  const double eRate = static_cast<double>(echoLoad.answered) / echoLoad.seconds;
  std::printf("  %-22s %14.2f %10s %18.2f\n", "ratio qrvld / echo", qRate / eRate, "",
              (qRate * qrvldLoad.seconds / qrvldLoad.serverCpuSeconds) /
                  (eRate * echoLoad.seconds / echoLoad.serverCpuSeconds));
  std::printf("Round trip, %d requests per kind (us):\n", kRounds * kRoundTripsPerRound);
  std::printf("  %-22s %10s %10s %10s %10s %8s %8s\n", "", "qrvld p50", "qrvld p99", "echo p50", "echo p99", "p50 x",
              "p99 x");
  printRoundTrips("raw client", rawQ, rawE);
  printRoundTrips("QRVLPLUG::Get", getQ, getE);

  const double floodSeconds = static_cast<double>(kFloodSeconds);
  std::printf(
      "Flood, %d s: junk from 127.0.0.2 on the daemon's cpu, one Get per %lld ms (time-out %u ms) from "
      "cpu %d\n",
      kFloodSeconds, static_cast<long long>(kGetInterval.count()), kGetTimeoutMs, kClientCpu);
  std::printf("  junk sent: %lld (%.0f/s)\n", junk, static_cast<double>(junk) / floodSeconds);
  std::printf("  counted by qrvld:");
  for (std::size_t i = 0; i < countersAfter.size() && i < countersBefore.size(); ++i) {
    const long long delta = countersAfter[i].second - countersBefore[i].second;
    if (delta != 0) std::printf(" %s=%lld", countersAfter[i].first.c_str(), delta);
  }
  std::printf("\n  dropped by the kernel, qrvld's queue being full: %llu\n", kernelDrops);
  const Percentiles legit = percentiles(legitimateUs);
  std::printf("  legitimate Gets answered: %zu of %d (%.2f%%), p50 %.1f us, max %.1f us\n", legitimateUs.size(), asked,
              100.0 * static_cast<double>(legitimateUs.size()) / asked, legit.p50,
              legitimateUs.empty() ? 0.0 : *std::max_element(legitimateUs.begin(), legitimateUs.end()));
  std::printf("qrvld resident memory (VmRSS): %s idle, %s after the load, %s before the flood, %s after it\n",
              idleRss.c_str(), loadedRss.c_str(), floodRss.c_str(), afterFloodRss.c_str());

  // The web server's tree, read over one kept connection, beside qrvld's UDP answer.
  char dir[] = "/tmp/qrvl-web-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  int sensors = 0;
  const std::string tree = desktopTree(sensors);
  std::ofstream(std::string(dir) + "/default.json") << tree;
  std::uint16_t webPort = 0;
  const pid_t web = startWebServer(dir, webPort);
  QRVLPLUG webGet;
  webGet.Create(("http://127.0.0.1:" + std::to_string(webPort) + "/").c_str());
  LMDATA data;
  for (int i = 0; i < 50 && !webGet.Get(data, 1000); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::vector<double> webUs;
  measureGets(webGet, kRoundTripsPerRound / 2 + kWarmUp, webUs);
  // Trees of some 4 MiB: one read as any other, and one of the same size built to be slow
  // to choose from (sensors without a type whose unit comes after a long number).
  const char* bigTrees[][2] = {{"plain 13000 150", "4 MiB plain, 13000"},
                               {"slow 13000 150", "4 MiB slow, 13000"},
                               {"plain 900 4000", "4 MiB plain, 900"},
                               {"slow 900 4000", "4 MiB slow, 900"}};
  std::vector<double> bigUs[4];
  for (int t = 0; t < 4; ++t) {
    std::ofstream(std::string(dir) + "/control") << bigTrees[t][0] << "\n";
    // A few warm-up Gets are enough for trees this large.
    for (int i = 0; i < 23; ++i) {
      const auto start = Clock::now();
      if (!webGet.Get(data, 10000)) std::fprintf(stderr, "Get failed: %s\n", webGet.LastFailure());
      if (i >= 3) bigUs[t].push_back(microseconds(start));
    }
  }
  std::remove((std::string(dir) + "/control").c_str());
  webGet.Destroy();
  kill(web, SIGTERM);
  waitpid(web, nullptr, 0);
  std::remove((std::string(dir) + "/default.json").c_str());
  rmdir(dir);
  const Percentiles w = percentiles(webUs);
  const Percentiles u = percentiles(getQ);
  std::printf("QRVLPLUG::Get from a web server's /data.json (%d sensors, %zu bytes, kept connection), %zu Gets (us):\n",
              sensors, tree.size(), webUs.size());
  std::printf("  %-22s %10s %10s\n", "", "p50", "p99");
  std::printf("  %-22s %10.1f %10.1f\n", "web server (HTTP)", w.p50, w.p99);
  std::printf("  %-22s %10.1f %10.1f\n", "qrvld (UDP)", u.p50, u.p99);
  for (int t = 0; t < 4; ++t) {
    const Percentiles b = percentiles(bigUs[t]);
    std::printf("  %-22s %10.1f %10.1f  (%zu Gets)\n", bigTrees[t][1], b.p50, b.p99, bigUs[t].size());
  }
  return daemon.stop() == 0 ? 0 : 1;
}
