// qrvld as a client sees it: a real daemon on loopback, real sockets.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "DaemonProcess.h"
#include "Server.h"
#include "TempFiles.h"
#include "UdpPeer.h"
#include "WaitUntil.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

using namespace qrvltest;
namespace wire = qrvl::wire;
namespace record = qrvl::record;

namespace {
std::uint32_t sequenceOf(const Datagram& d) { return d.data.size() >= 12 ? wire::loadLe32(d.data.data() + 8) : 0; }

double fieldValue(const Datagram& d, record::Channel c) {
  const char* text = reinterpret_cast<const char*>(d.data.data()) + wire::kRecordOffset + c * record::kFieldSize;
  double value = -1e9;
  std::from_chars(text, text + strnlen(text, record::kFieldSize), value);
  return value;
}

// Sends `count` requests from `client` as fast as it can and counts the answers until
// none comes for `quietMs`.
int answeredOf(UdpPeer& client, std::uint16_t port, int count, int quietMs = 200) {
  for (int i = 0; i < count; ++i) client.sendTo(port, request(static_cast<std::uint32_t>(i)));
  int answered = 0;
  while (client.receive(quietMs)) ++answered;
  return answered;
}

std::string counter(const std::string& log, const std::string& name) {
  const auto at = log.rfind(" " + name + "=");
  if (at == std::string::npos) return "missing";
  const auto start = at + name.size() + 2;
  return log.substr(start, log.find_first_of(" \n", start) - start);
}
}  // namespace

TEST(Daemon, AnswersValidRequestsFromTheLatestSnapshot) {
  DaemonProcess daemon({"--cadence", "100"});
  ASSERT_EQ(daemon.start(), "");

  // Both default listening addresses answer, from the port the request went to, with a
  // response that passes the client's checks and carries plausible simulated values.
  for (const char* address : {"127.0.0.1", "::1"}) {
    SCOPED_TRACE(address);
    UdpPeer client(address);
    client.sendTo(address, daemon.port(), request(0xA1B2C3D4));
    const auto reply = client.receive(2000);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->data.size(), wire::kResponseSize);
    EXPECT_EQ(sourcePort(*reply), daemon.port());
    EXPECT_EQ(wire::checkResponse(reply->data.data(), reply->data.size(), 0xA1B2C3D4), wire::ResponseCheck::Reading);
    EXPECT_EQ(reply->data[7], 0);
    EXPECT_EQ(std::vector<std::uint8_t>(reply->data.begin() + 12, reply->data.begin() + 16), std::vector<std::uint8_t>(4, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(reply->data.begin() + 96, reply->data.end()), std::vector<std::uint8_t>(24, 0));
    for (auto c : {record::CpuTemp, record::PwrTemp, record::SysTemp}) {
      EXPECT_GE(fieldValue(*reply, c), 25.0);
      EXPECT_LE(fieldValue(*reply, c), 62.0);
    }
    EXPECT_NEAR(fieldValue(*reply, record::Vcore), 1.2, 0.05);
    EXPECT_NEAR(fieldValue(*reply, record::Vtt), 1.05, 0.05);
    EXPECT_NEAR(fieldValue(*reply, record::Vio), 3.3, 0.1);
    for (auto c : {record::Fan1, record::Fan2, record::Fan3}) {
      EXPECT_GE(fieldValue(*reply, c), 800.0);
      EXPECT_LE(fieldValue(*reply, c), 2000.0);
    }
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(static_cast<double>(record::sampleTime(reply->data.data() + wire::kRecordOffset)),
                static_cast<double>(now), 5000.0);
  }

  // The sampler refreshes the snapshot at its cadence: the sample time moves on.
  UdpPeer client;
  std::vector<std::uint64_t> t;
  ASSERT_TRUE(waitUntil(3000, [&] {
    const auto reply = client.ask(daemon.port(), 1);
    const auto time = reply ? record::sampleTime(reply->data.data() + wire::kRecordOffset) : 0;
    if (time != 0 && (t.empty() || time != t.back())) t.push_back(time);
    return t.size() == 4;
  }));
  EXPECT_GE(t[3], t[0] + 200);
  EXPECT_LE(t[3], t[0] + 1000);
}

TEST(Daemon, AWildcardListenerAnswersFromTheAddressAsked) {
  // Bound to "any", the daemon still answers from the address each request went to, the
  // only address a client takes replies from.
  DaemonProcess daemon({"--listen", "0.0.0.0", "--listen", "::"});
  ASSERT_EQ(daemon.start(), "");
  for (const char* address : {"127.0.0.5", "127.0.0.1", "::1"}) {
    UdpPeer client(std::strchr(address, ':') != nullptr ? "::1" : "127.0.0.1");
    client.sendTo(address, daemon.port(), request(9));
    const auto reply = client.receive(2000);
    ASSERT_TRUE(reply) << address;
    EXPECT_EQ(sourceAddress(*reply), address);
    EXPECT_EQ(sourcePort(*reply), daemon.port());
  }
}

TEST(Daemon, MalformedRequestsGetNoReplyAtAll) {
  DaemonProcess daemon;
  ASSERT_EQ(daemon.start(), "");
  UdpPeer client;

  const auto valid = request(7);
  auto changed = [&](std::size_t at, std::uint8_t value) { return withByte(valid, at, value); };
  auto resized = [&](std::size_t size) { return withSize(valid, size); };
  std::uint8_t responseBytes[wire::kResponseSize];
  std::uint8_t noRecord[wire::kRecordSize] = {};
  wire::encodeResponse(7, wire::kStatusReading, noRecord, responseBytes);
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> classes = {
      {"empty datagram", {}},
      {"one byte", {0x51}},
      {"request cut to 127 bytes", resized(127)},
      {"request plus one byte", resized(129)},
      {"request padded to 1200 bytes", resized(1200)},
      {"a response (120 bytes)", {responseBytes, responseBytes + sizeof responseBytes}},
      {"magic \"QRVl\"", changed(3, 'l')},
      {"version 0", changed(4, 0)},
      {"version 2", changed(4, 2)},
      {"type 0x00", changed(5, 0x00)},
      {"type 0x02", changed(5, 0x02)},
      {"type 0x81", changed(5, 0x81)},
      {"reserved byte 6 set", changed(6, 1)},
      {"reserved byte 7 set", changed(7, 0x80)},
      {"padding byte 12 set", changed(12, 1)},
      {"padding byte 127 set", changed(127, 0xff)},
  };

  // Each malformed datagram is followed by a valid probe; the daemon answers in order, so
  // the first datagram back must be the probe's answer. The table is bytes out per bytes
  // in for each class of request.
  std::printf("%-30s %9s %9s %7s\n", "request class", "bytes in", "bytes out", "out/in");
  std::uint32_t probe = 100;
  for (const auto& [name, bytes] : classes) {
    SCOPED_TRACE(name);
    client.sendTo(daemon.port(), bytes);
    client.sendTo(daemon.port(), request(++probe));
    std::size_t bytesOut = 0;
    std::optional<Datagram> reply;
    while ((reply = client.receive(2000)) && sequenceOf(*reply) != probe) bytesOut += reply->data.size();
    ASSERT_TRUE(reply) << "no answer to the probe";
    EXPECT_EQ(bytesOut, 0u);
    std::printf("%-30s %9zu %9zu %7.3f\n", name, bytes.size(), bytesOut,
                bytes.empty() ? 0.0 : static_cast<double>(bytesOut) / static_cast<double>(bytes.size()));
  }
  client.sendTo(daemon.port(), valid);
  const auto answer = client.receive(2000);
  ASSERT_TRUE(answer);
  std::printf("%-30s %9zu %9zu %7.3f\n", "valid request", valid.size(), answer->data.size(),
              static_cast<double>(answer->data.size()) / static_cast<double>(valid.size()));
  EXPECT_LT(answer->data.size(), valid.size());
  EXPECT_FALSE(client.receive(200)) << "a datagram beyond the answers";

  // Drops are counted per reason and logged at exit; SIGTERM ends the daemon cleanly.
  EXPECT_EQ(daemon.stop(), 0);
  const std::string log = daemon.log();
  EXPECT_EQ(counter(log, "answered"), std::to_string(classes.size() + 1));
  EXPECT_EQ(counter(log, "wrong-size"), "6");
  EXPECT_EQ(counter(log, "wrong-magic"), "1");
  EXPECT_EQ(counter(log, "wrong-version"), "2");
  EXPECT_EQ(counter(log, "wrong-type"), "3");
  EXPECT_EQ(counter(log, "reserved-set"), "2");
  EXPECT_EQ(counter(log, "padding-set"), "2");
}

TEST(Daemon, AnswersOnlyTheAllowList) {
  // Single addresses and CIDR ranges; everything else is ignored and counted.
  DaemonProcess ranges({"--listen", "127.0.0.1", "--allow", "127.0.0.2", "--allow", "127.0.0.8/30"});
  ASSERT_EQ(ranges.start(), "");
  for (const char* source : {"127.0.0.2", "127.0.0.9", "127.0.0.11"}) {
    UdpPeer client(source);
    EXPECT_TRUE(client.ask(ranges.port(), 1)) << source;
  }
  for (const char* source : {"127.0.0.1", "127.0.0.3", "127.0.0.12"}) {
    UdpPeer client(source);
    EXPECT_FALSE(client.ask(ranges.port(), 1, 200)) << source;
  }
  EXPECT_EQ(ranges.stop(), 0);
  EXPECT_EQ(counter(ranges.log(), "not-allowed"), "3");

  // An IPv4-only list refuses the IPv6 loopback, which an IPv6 entry admits.
  DaemonProcess v4only({"--listen", "::1", "--allow", "127.0.0.0/8"});
  ASSERT_EQ(v4only.start(), "");
  UdpPeer v6client("::1");
  v6client.sendTo("::1", v4only.port(), request(2));
  EXPECT_FALSE(v6client.receive(200));
  DaemonProcess v6({"--listen", "::1", "--allow", "::1/128"});
  ASSERT_EQ(v6.start(), "");
  v6client.sendTo("::1", v6.port(), request(3));
  EXPECT_TRUE(v6client.receive(2000));

  // The default admits loopback sources only, all of 127.0.0.0/8.
  DaemonProcess defaults;
  ASSERT_EQ(defaults.start(), "");
  UdpPeer other("127.0.0.77");
  EXPECT_TRUE(other.ask(defaults.port(), 4));
}

TEST(Daemon, RateLimitsEachSource) {
  DaemonProcess daemon({"--listen", "127.0.0.1", "--rate", "20/10", "--exempt-loopback", "no"});
  ASSERT_EQ(daemon.start(), "");

  // A burst of requests gets the bucket's 20 answers (plus what trickles in meanwhile);
  // then, asked one at a time, answers as fast as the refill of 10 per second.
  UdpPeer first("127.0.0.2");
  const int burst = answeredOf(first, daemon.port(), 60);
  EXPECT_GE(burst, 20);
  EXPECT_LE(burst, 22);
  const auto emptied = std::chrono::steady_clock::now();
  int later = 0;
  ASSERT_TRUE(waitUntil(5000, [&] { return (later += answeredOf(first, daemon.port(), 1, 20)) >= 10; }));
  const double refill = std::chrono::duration<double>(std::chrono::steady_clock::now() - emptied).count() * 10;
  EXPECT_GE(later, static_cast<int>(refill) - 1);
  EXPECT_LE(later, static_cast<int>(refill) + 4);

  // Each source has its own bucket.
  UdpPeer second("127.0.0.3");
  EXPECT_GE(answeredOf(second, daemon.port(), 30), 20);
  EXPECT_EQ(daemon.stop(), 0);
  EXPECT_NE(counter(daemon.log(), "rate-limited"), "0");

  // Loopback sources are exempt by default.
  DaemonProcess exempt({"--listen", "127.0.0.1", "--rate", "20/10"});
  ASSERT_EQ(exempt.start(), "");
  UdpPeer local("127.0.0.2");
  EXPECT_EQ(answeredOf(local, exempt.port(), 60), 60);
}

TEST(Daemon, OptionsConfigurationAndSignals) {
  // --help describes the options and says the simulated source is not real.
  const auto help = DaemonProcess::run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--allow ADDR|CIDR"), std::string::npos);
  EXPECT_NE(help.out.find("simulated chip"), std::string::npos);

  // Bad options and values: one line on stderr saying what is wrong, a non-zero exit.
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--port"}, "needs a value"},
      {{"--port", "0"}, "bad port \"0\""},
      {{"--port", "65536"}, "bad port"},
      {{"--listen", "localhost"}, "bad listen"},
      {{"--allow", "10.0.0.0/33"}, "prefix length"},
      {{"--allow", "fe80::/129"}, "prefix length"},
      {{"--rate", "20"}, "bad rate"},
      {{"--rate", "0/10"}, "bad rate"},
      {{"--cadence", "5"}, "bad cadence"},
      {{"--exempt-loopback", "maybe"}, "bad exempt-loopback"},
      {{"--source", "lm78"}, "bad source"},
      {{"--source", "auto"}, "bad source \"auto\": expected hwmon or sim"},
      {{"stray"}, "unexpected argument"},
      {{"--config", "/nonexistent/qrvld.ini"}, "cannot open configuration file"},
  };
  for (const auto& [args, message] : bad) {
    const auto result = DaemonProcess::run(args);
    EXPECT_NE(result.code, 0) << args[0];
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }

  // The hardware source asked for on a sysfs root that is not there: a clear refusal.
  const auto hwmon = DaemonProcess::run({"--source", "hwmon", "--sysfs-root", "/nonexistent/hwmon"});
  EXPECT_EQ(hwmon.code, 1);
  EXPECT_NE(hwmon.err.find("cannot read /nonexistent/hwmon"), std::string::npos);

  // A bad configuration file is named with the line at fault.
  const std::string broken = tempFileWith("[qrvld]\nport = 1234\ncolour = blue\n");
  const auto badFile = DaemonProcess::run({"--config", broken});
  EXPECT_EQ(badFile.code, 2);
  EXPECT_NE(badFile.err.find(broken + ":3: unknown setting \"colour\""), std::string::npos) << badFile.err;
  std::remove(broken.c_str());

  // Settings come from the file; the command line overrides them (here the port, which
  // DaemonProcess passes).
  const std::string config = tempFileWith(
      "; test configuration\n[qrvld]\nport = 1\nlisten = 127.0.0.1\nallow = 127.0.0.5, 127.0.0.6\n"
      "rate = 5/1\nexempt-loopback = no\nsource = sim\ncadence = 250\n");
  DaemonProcess configured({"--config", config});
  ASSERT_EQ(configured.start(), "");
  EXPECT_NE(configured.log().find("allow 127.0.0.5/32 127.0.0.6/32; rate 5/1 per second; cadence 250 ms"),
            std::string::npos) << configured.log();
  EXPECT_NE(configured.log().find("simulated"), std::string::npos);
  UdpPeer allowed("127.0.0.5");
  EXPECT_EQ(answeredOf(allowed, configured.port(), 10), 5);
  std::remove(config.c_str());

  // SIGUSR1 logs the counters and the daemon goes on; SIGTERM and SIGINT end it with 0.
  configured.signal(SIGUSR1);
  EXPECT_TRUE(configured.waitForLog("counters on request:", 2000));
  EXPECT_TRUE(configured.running());
  EXPECT_EQ(configured.stop(SIGTERM), 0);
  DaemonProcess interrupted;
  ASSERT_EQ(interrupted.start(), "");
  EXPECT_EQ(interrupted.stop(SIGINT), 0);

  // A port already taken is a start-up failure, not a silent one.
  UdpPeer squatter;
  const auto taken =
      DaemonProcess::run({"--source", "sim", "--listen", "127.0.0.1", "--port", std::to_string(squatter.port())});
  EXPECT_EQ(taken.code, 1);
  EXPECT_NE(taken.err.find("cannot listen on " + loopbackAt(squatter.port())), std::string::npos);
}

TEST(Daemon, ReadsConfigurationInWholeLinesFromRegularFilesOnly) {
  // A comment as long as inih's line buffer, then a setting that inih alone would read as
  // a line of its own; a NUL byte, after which it would ignore the line's rest. Each line is
  // refused with its file and number, and nothing starts.
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {"[qrvld]\nsource = sim\n; " + std::string(197, 'x') + "allow = 0.0.0.0/0\n", ":3: line longer than"},
           {std::string("[qrvld]\nsource = sim\nport = 1") + '\0' + "allow = 0.0.0.0/0\n", ":3: a NUL byte"}}) {
    const std::string path = tempFileWith(text);
    const auto result = DaemonProcess::run({"--config", path});
    EXPECT_EQ(result.code, 2);
    EXPECT_NE(result.err.find(path + message), std::string::npos) << result.err;
    std::remove(path.c_str());
  }

  // A folder, a device and a FIFO given as the file are refused at once, neither read as
  // an empty file nor waited on.
  const std::string folder = tempFolder("qrvld-config");
  const std::string fifo = folder + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& [path, kind] : std::vector<std::pair<std::string, std::string>>{
           {folder, "a folder"}, {"/dev/zero", "a device"}, {fifo, "a FIFO"}}) {
    const auto result = DaemonProcess::run({"--config", path}, 2000);
    EXPECT_EQ(result.code, 2);
    EXPECT_NE(result.err.find("configuration file " + path + " is " + kind + ", not a regular file"),
              std::string::npos) << result.err;
  }
  std::remove(fifo.c_str());
  rmdir(folder.c_str());
}

TEST(Daemon, SurvivesJunkAndFloods) {
  DaemonProcess daemon;
  ASSERT_EQ(daemon.start(), "");

  // Random datagrams of every size up to the largest a datagram can be, then a valid
  // request: the daemon is still there and answers it.
  UdpPeer junk;
  std::uint32_t state = 12345;
  auto next = [&] { return state = state * 1103515245u + 12345u; };
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint8_t> bytes(i == 0 ? 65507 : next() % 300);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(next() >> 16);
    if (bytes.size() >= 4) std::memcpy(bytes.data(), wire::kMagic, 4);
    junk.sendTo(daemon.port(), bytes);
  }
  // The kernel drops what overflows the daemon's queue, so the probe may need a retry.
  UdpPeer client;
  std::optional<Datagram> reply;
  for (int attempt = 0; attempt < 3 && !reply; ++attempt) {
    reply = client.ask(daemon.port(), 99, 1000);
  }
  ASSERT_TRUE(reply);
  EXPECT_EQ(sequenceOf(*reply), 99u);
  EXPECT_FALSE(junk.receive(100));

  // A flood of valid requests from loopback is answered in full, each with its own number.
  EXPECT_EQ(answeredOf(client, daemon.port(), 100), 100);
  EXPECT_TRUE(daemon.running());
}

TEST(Daemon, AnswersABurstOfSeveralBatchesExactly) {
  // Two allowed sources and one that is not, all rate-limited (a burst of 60, then one a
  // second), on a wildcard listener, which answers each request from the address it went to.
  DaemonProcess daemon({"--listen", "0.0.0.0", "--allow", "127.0.0.1", "--allow", "127.0.0.2", "--rate", "60/1",
                        "--exempt-loopback", "no"});
  ASSERT_EQ(daemon.start(), "");
  UdpPeer first;
  UdpPeer second("127.0.0.2");
  UdpPeer stranger("127.0.0.3");
  const char* const destinations[] = {"127.0.0.1", "127.0.0.5", "127.0.0.9"};
  const auto valid = request(0);
  auto changed = [&](std::size_t at, std::uint8_t value) { return withByte(valid, at, value); };
  auto resized = [&](std::size_t size) { return withSize(valid, size); };
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> junkClasses = {
      {"wrong-size", resized(127)},    {"wrong-magic", changed(0, 'q')}, {"wrong-version", changed(4, 0)},
      {"wrong-size", resized(1200)},   {"wrong-type", changed(5, 0x02)}, {"reserved-set", changed(6, 1)},
      {"padding-set", changed(127, 1)}};

  // The burst waits in the queue of the stopped daemon, which then reads it in full
  // batches. In each round of eight: one valid request from the first source, three from
  // the second, which outruns its bucket, one from the stranger and three pieces of junk.
  const int rounds = 4 * qrvld::Server::kBatch / 8 + 1;
  // Stopped by the signal, as /proc shows its state.
  daemon.signal(SIGSTOP);
  ASSERT_TRUE(waitUntil(2000, [&] {
    const std::string stat = readFile("/proc/" + std::to_string(daemon.pid()) + "/stat");
    const auto paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'T';
  }));
  std::vector<std::pair<std::uint32_t, std::string>> firstAsked, secondAsked;
  std::map<std::string, int> expected;
  std::uint32_t sequence = 1000;
  int junkSent = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int slot = 0; slot < 8; ++slot) {
      const std::string to = destinations[(round + slot) % 3];
      if (slot == 1 || slot == 5 || slot == 7) {
        const auto& [reason, bytes] = junkClasses[junkSent++ % junkClasses.size()];
        (slot == 5 ? second : first).sendTo(to, daemon.port(), bytes);
        ++expected[reason];
      } else if (slot == 3) {
        stranger.sendTo(to, daemon.port(), request(++sequence));
        ++expected["not-allowed"];
      } else {
        UdpPeer& peer = slot == 0 ? first : second;
        peer.sendTo(to, daemon.port(), request(++sequence));
        (slot == 0 ? firstAsked : secondAsked).emplace_back(sequence, to);
      }
    }
  }
  daemon.signal(SIGCONT);

  // Exactly the valid requests are answered, in order, each from the address it went to;
  // the second source gets its burst's worth.
  auto answers = [](UdpPeer& peer) {
    std::vector<std::pair<std::uint32_t, std::string>> out;
    while (auto reply = peer.receive(out.empty() ? 2000 : 300)) {
      EXPECT_EQ(wire::checkResponse(reply->data.data(), reply->data.size(), sequenceOf(*reply)),
                wire::ResponseCheck::Reading);
      out.emplace_back(sequenceOf(*reply), sourceAddress(*reply));
    }
    return out;
  };
  const int burst = 60;
  ASSERT_GT(static_cast<int>(secondAsked.size()), burst);
  EXPECT_EQ(answers(first), firstAsked);
  EXPECT_EQ(answers(second), decltype(secondAsked)(secondAsked.begin(), secondAsked.begin() + burst));
  EXPECT_FALSE(stranger.receive(100));

  // Every datagram is counted under the reason the fixed order of checks gives it.
  EXPECT_EQ(daemon.stop(), 0);
  const std::string log = daemon.log();
  EXPECT_EQ(counter(log, "answered"), std::to_string(firstAsked.size() + burst));
  EXPECT_EQ(counter(log, "rate-limited"), std::to_string(secondAsked.size() - burst));
  for (const char* reason :
       {"not-allowed", "wrong-size", "wrong-magic", "wrong-version", "wrong-type", "reserved-set", "padding-set"}) {
    EXPECT_EQ(counter(log, reason), std::to_string(expected[reason])) << reason;
  }
  EXPECT_EQ(counter(log, "send-failed"), "0");

  // The queue that held the burst was grown as far as an unprivileged daemon may (it asks
  // for 8 MiB, which the kernel doubles), and its size is logged.
  long rmemMax = 0;
  std::ifstream("/proc/sys/net/core/rmem_max") >> rmemMax;
  const auto at = log.find("listening on 0.0.0.0:" + std::to_string(daemon.port()) + ", receive buffer ");
  ASSERT_NE(at, std::string::npos) << log;
  const long logged = std::stol(log.substr(log.find("buffer ", at) + 7));
  EXPECT_GE(logged, 2 * std::min(rmemMax, 8L << 20));
}
