#include "Server.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "Log.h"
#include "qrvl/Wire.h"

namespace qrvld {

namespace {
// Datagrams taken from one socket per wake-up, so a flood on one cannot starve the rest.
constexpr int kBatch = 64;
// Counters are logged this often when they changed, and on SIGUSR1 and at exit.
constexpr std::uint64_t kReportIntervalMs = 10 * 60 * 1000;
// Send errors that pass: a full queue drains, a refusal belongs to an earlier datagram.
constexpr int kSendAttempts = 4;

std::uint64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000;
}

// Room for the one control message of a wildcard socket, an in_pktinfo or an in6_pktinfo.
constexpr std::size_t kControlSize = CMSG_SPACE(sizeof(in6_pktinfo));

// A socket bound to "any" would answer from whatever address routing picks; the client
// accepts replies only from the address it asked, so the reply names that address as its
// source, taken from the request's packet information.
void answerFromDestination(msghdr& request, msghdr& reply, unsigned char (&control)[kControlSize]) {
  std::memset(control, 0, sizeof control);
  cmsghdr* out = reinterpret_cast<cmsghdr*>(control);
  for (cmsghdr* in = CMSG_FIRSTHDR(&request); in != nullptr; in = CMSG_NXTHDR(&request, in)) {
    if (in->cmsg_level == IPPROTO_IP && in->cmsg_type == IP_PKTINFO) {
      in_pktinfo received;
      std::memcpy(&received, CMSG_DATA(in), sizeof received);
      in_pktinfo source{};
      source.ipi_spec_dst = received.ipi_spec_dst;
      std::memcpy(CMSG_DATA(out), &source, sizeof source);
      out->cmsg_len = CMSG_LEN(sizeof source);
      reply.msg_controllen = CMSG_SPACE(sizeof source);
    } else if (in->cmsg_level == IPPROTO_IPV6 && in->cmsg_type == IPV6_PKTINFO) {
      // Address and interface as received; the interface matters for link-local sources.
      std::memcpy(CMSG_DATA(out), CMSG_DATA(in), sizeof(in6_pktinfo));
      out->cmsg_len = CMSG_LEN(sizeof(in6_pktinfo));
      reply.msg_controllen = CMSG_SPACE(sizeof(in6_pktinfo));
    } else {
      continue;
    }
    out->cmsg_level = in->cmsg_level;
    out->cmsg_type = in->cmsg_type;
    reply.msg_control = control;
    return;
  }
}

bool transientSendError(int error) {
  return error == EINTR || error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS || error == ECONNREFUSED;
}
}  // namespace

Server::Server(const Options& options, RequestGate& gate, Sampler& sampler)
    : options_(options), gate_(gate), sampler_(sampler) {
  snapshot_.status = qrvl::wire::kStatusNoReading;
}

bool Server::listen(const IpAddress& address, std::string& error) {
  const bool v4 = address.isV4();
  const std::string text = (v4 ? address.text() : "[" + address.text() + "]") + ":" + std::to_string(options_.port);
  UniqueFd fd(socket(v4 ? AF_INET : AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) {
    error = "cannot listen on " + text + ": " + std::strerror(errno);
    return false;
  }
  const int on = 1;
  const bool wildcard = address.isUnspecified();
  sockaddr_storage storage{};
  socklen_t length = 0;
  bool ok = true;
  if (v4) {
    auto& sa = reinterpret_cast<sockaddr_in&>(storage);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(options_.port);
    std::memcpy(&sa.sin_addr, address.bytes() + 12, 4);
    length = sizeof sa;
    if (wildcard) ok = setsockopt(fd.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0;
  } else {
    auto& sa = reinterpret_cast<sockaddr_in6&>(storage);
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(options_.port);
    std::memcpy(&sa.sin6_addr, address.bytes(), 16);
    length = sizeof sa;
    // "::" means IPv6 only; IPv4 is listed on its own.
    ok = setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) == 0;
    if (ok && wildcard) ok = setsockopt(fd.get(), IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) == 0;
  }
  if (!ok || bind(fd.get(), reinterpret_cast<sockaddr*>(&storage), length) != 0) {
    const int saved = errno;
    // The built-in pair includes ::1, which a host without IPv6 lacks.
    if (options_.listenDefault && !v4 && (saved == EADDRNOTAVAIL || saved == EAFNOSUPPORT)) {
      log(Priority::Warning, "not listening on %s: %s", text.c_str(), std::strerror(saved));
      return true;
    }
    error = "cannot listen on " + text + ": " + std::strerror(saved);
    return false;
  }
  listeners_.push_back({std::move(fd), wildcard, text});
  log(Priority::Info, "listening on %s", text.c_str());
  return true;
}

bool Server::open(std::string& error) {
  for (const IpAddress& address : options_.listen) {
    if (!listen(address, error)) return false;
  }
  if (listeners_.empty()) {
    error = "no address to listen on";
    return false;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGUSR1);
  signalFd_.reset(signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!signalFd_) {
    error = std::string("cannot take signals: ") + std::strerror(errno);
    return false;
  }
  pollFds_.push_back({signalFd_.get(), POLLIN, 0});
  pollFds_.push_back({sampler_.fd(), POLLIN, 0});
  for (const Listener& l : listeners_) pollFds_.push_back({l.fd.get(), POLLIN, 0});
  return true;
}

void Server::run() {
  std::uint64_t nextReport = monotonicMs() + kReportIntervalMs;
  std::uint64_t reportedTotal = 0;
  // Signals and the sampler only, until the first snapshot: an answer before it would be
  // "no reading" from a daemon that has not looked yet.
  nfds_t watched = 2;
  for (;;) {
    const std::uint64_t now = monotonicMs();
    if (now >= nextReport) {
      std::uint64_t total = 0;
      for (std::uint64_t c : counts_) total += c;
      if (total != reportedTotal) logCounters("periodic");
      reportedTotal = total;
      nextReport = now + kReportIntervalMs;
    }
    const int n = poll(pollFds_.data(), watched, static_cast<int>(nextReport - now));
    if (n < 0) {
      if (errno == EINTR) continue;
      // Never fatal; the pause keeps a persistent failure from spinning.
      log(Priority::Error, "poll failed: %s", std::strerror(errno));
      usleep(100000);
      continue;
    }
    if (pollFds_[0].revents != 0) {
      signalfd_siginfo info{};
      while (read(signalFd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1) {
          logCounters("on request");
          continue;
        }
        log(Priority::Notice, "stopping on %s", strsignal(static_cast<int>(info.ssi_signo)));
        logCounters("at exit");
        return;
      }
    }
    if (pollFds_[1].revents != 0 && sampler_.take(snapshot_) && watched < pollFds_.size()) {
      watched = pollFds_.size();
      log(Priority::Info, "ready: allow %s; rate %u/%u per second%s; cadence %u ms", options_.allow.text().c_str(),
          options_.burst, options_.perSecond, options_.exemptLoopback ? ", loopback exempt" : "", options_.cadenceMs);
    }
    for (std::size_t i = 2; i < watched; ++i) {
      if (pollFds_[i].revents != 0) serve(listeners_[i - 2]);
    }
  }
}

void Server::serve(const Listener& listener) {
  for (int i = 0; i < kBatch; ++i) {
    sockaddr_storage source;
    iovec in{request_, sizeof request_};
    alignas(cmsghdr) unsigned char control[kControlSize];
    msghdr msg{};
    msg.msg_name = &source;
    msg.msg_namelen = sizeof source;
    msg.msg_iov = &in;
    msg.msg_iovlen = 1;
    if (listener.wildcard) {
      msg.msg_control = control;
      msg.msg_controllen = sizeof control;
    }
    // MSG_TRUNC: the result is the datagram's real size, so an oversized one is seen as such.
    const ssize_t n = recvmsg(listener.fd.get(), &msg, MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    const Drop drop = gate_.check(IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&source)),
                                  request_, static_cast<std::size_t>(n), monotonicMs());
    if (drop != Drop::None) {
      ++counts_[static_cast<int>(drop)];
      continue;
    }

    std::uint8_t response[qrvl::wire::kResponseSize];
    qrvl::wire::encodeResponse(qrvl::wire::requestSequence(request_), snapshot_.status, snapshot_.record,
                               response);
    iovec out{response, sizeof response};
    msghdr reply{};
    reply.msg_name = &source;
    reply.msg_namelen = msg.msg_namelen;
    reply.msg_iov = &out;
    reply.msg_iovlen = 1;
    alignas(cmsghdr) unsigned char replyControl[kControlSize];
    if (listener.wildcard) answerFromDestination(msg, reply, replyControl);
    Drop outcome = Drop::SendFailed;
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
      if (sendmsg(listener.fd.get(), &reply, MSG_DONTWAIT) >= 0) {
        outcome = Drop::None;
        break;
      }
      if (!transientSendError(errno)) break;
    }
    ++counts_[static_cast<int>(outcome)];
  }
}

void Server::logCounters(const char* when) {
  std::string line = std::string("counters ") + when + ":";
  for (int i = 0; i < static_cast<int>(Drop::kCount); ++i) {
    line += std::string(" ") + dropName(static_cast<Drop>(i)) + "=" + std::to_string(counts_[i]);
  }
  log(Priority::Info, "%s", line.c_str());
}

}  // namespace qrvld
