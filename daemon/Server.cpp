#include "Server.h"

#include <linux/capability.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "base/Log.h"
#include "qrvl/Wire.h"

namespace qrvld {

namespace {
// Counters are logged this often when they changed, and on SIGUSR1 and at exit.
constexpr time_t kReportIntervalS = 10 * 60;
// What the poll loop watches, in this order; the listeners only from the first snapshot on.
constexpr std::size_t kSignalsAt = 0;
constexpr std::size_t kSamplerAt = 1;
constexpr std::size_t kReportTimerAt = 2;
constexpr std::size_t kFirstListenerAt = 3;
// Send errors that pass: a full queue drains, a refusal belongs to an earlier datagram.
constexpr int kSendAttempts = 4;
// Room for what arrives while the daemon waits for its processor, so that a flood does
// not push a client's request out of a full queue: some 20,000 small datagrams. The
// kernel doubles the figure for its bookkeeping and, unless the process may override it,
// caps it at net.core.rmem_max. Not more, as a flood fills whatever it is given.
constexpr int kReceiveBuffer = 8 << 20;

// CAP_NET_ADMIN, which lets a socket's buffer exceed net.core.rmem_max.
bool mayExceedRmemMax() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  return syscall(SYS_capget, &header, data) == 0 &&
         (data[CAP_TO_INDEX(CAP_NET_ADMIN)].effective & CAP_TO_MASK(CAP_NET_ADMIN)) != 0;
}

// Makes the receive buffer of `fd` as large as this process may, never smaller than it
// was; returns its size as the kernel reports it. /proc/sys may be hidden from a
// sandboxed daemon: the kernel then caps what is asked for by itself.
int growReceiveBuffer(int fd) {
  int size = 0;
  socklen_t length = sizeof size;
  getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length);
  int wanted = kReceiveBuffer;
  if (2L * wanted <= size) return size;
  if (!mayExceedRmemMax() || setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) != 0) {
    long rmemMax = -1;
    std::ifstream("/proc/sys/net/core/rmem_max") >> rmemMax;
    if (rmemMax >= 0 && rmemMax < wanted) wanted = static_cast<int>(rmemMax);
    if (2L * wanted > size) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
  }
  length = sizeof size;
  getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length);
  return size;
}

// A socket bound to "any" would answer from whatever address routing picks; the client
// accepts replies only from the address it asked, so the reply names that address as its
// source, taken from the request's packet information.
template <std::size_t N>
void answerFromDestination(msghdr& request, msghdr& reply, unsigned char (&control)[N]) {
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

Server::Server(const Configuration& configuration, RequestGate& gate, Sampler& sampler)
    : configuration_(configuration), options_(configuration.options), gate_(gate), sampler_(sampler) {
  snapshot_.status = qrvl::wire::kStatusNoReading;
  for (int i = 0; i < kBatch; ++i) {
    Slot& slot = slots_[i];
    requestIov_[i] = {slot.request, sizeof slot.request};
    responseIov_[i] = {slot.response, sizeof slot.response};
    requests_[i] = {};
    requests_[i].msg_hdr.msg_name = &slot.source;
    requests_[i].msg_hdr.msg_namelen = sizeof slot.source;
    requests_[i].msg_hdr.msg_iov = &requestIov_[i];
    requests_[i].msg_hdr.msg_iovlen = 1;
    // Only a wildcard socket delivers packet information; on the others it stays empty.
    requests_[i].msg_hdr.msg_control = slot.control;
    requests_[i].msg_hdr.msg_controllen = sizeof slot.control;
    replies_[i] = {};
    replies_[i].msg_hdr.msg_iov = &responseIov_[i];
    replies_[i].msg_hdr.msg_iovlen = 1;
  }
}

bool Server::listen(const IpAddress& address, std::string& error) {
  const bool v4 = address.isV4();
  const std::string text = address.textWithPort(options_.port);
  UniqueFd fd(socket(v4 ? AF_INET : AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) {
    error = "cannot listen on " + text + ": " + std::strerror(errno);
    return false;
  }
  const int on = 1;
  const bool wildcard = address.isUnspecified();
  sockaddr_storage storage;
  const socklen_t length = address.toSockaddr(options_.port, storage);
  bool ok = true;
  if (v4) {
    if (wildcard) ok = setsockopt(fd.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0;
  } else {
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
  const int buffer = growReceiveBuffer(fd.get());
  listeners_.push_back({std::move(fd), wildcard, text});
  log(Priority::Info, "listening on %s, receive buffer %d bytes", text.c_str(), buffer);
  return true;
}

sigset_t Server::signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int number : {SIGTERM, SIGINT, SIGUSR1, SIGHUP}) sigaddset(&set, number);
  return set;
}

bool Server::open(std::string& error) {
  for (const IpAddress& address : options_.listen) {
    if (!listen(address, error)) return false;
  }
  if (listeners_.empty()) {
    error = "no address to listen on";
    return false;
  }
  const sigset_t taken = signals();
  signalFd_.reset(signalfd(-1, &taken, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!signalFd_) {
    error = std::string("cannot take signals: ") + std::strerror(errno);
    return false;
  }
  // A timer of its own rather than a poll time-out, so that a wake-up reads no clock.
  reportTimer_.reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  const itimerspec every{{kReportIntervalS, 0}, {kReportIntervalS, 0}};
  if (!reportTimer_ || timerfd_settime(reportTimer_.get(), 0, &every, nullptr) != 0) {
    error = std::string("cannot set the report timer: ") + std::strerror(errno);
    return false;
  }
  pollFds_.push_back({signalFd_.get(), POLLIN, 0});
  pollFds_.push_back({sampler_.fd(), POLLIN, 0});
  pollFds_.push_back({reportTimer_.get(), POLLIN, 0});
  for (const Listener& l : listeners_) pollFds_.push_back({l.fd.get(), POLLIN, 0});
  return true;
}

void Server::run() {
  std::uint64_t reportedTotal = 0;
  // Signals, the sampler and the timer only, until the first snapshot: an answer before it
  // would be "no reading" from a daemon that has not looked yet.
  nfds_t watched = kFirstListenerAt;
  for (;;) {
    if (poll(pollFds_.data(), watched, -1) < 0) {
      if (errno == EINTR) continue;
      // Never fatal; the pause keeps a persistent failure from spinning.
      log(Priority::Error, "poll failed: %s", std::strerror(errno));
      usleep(100000);
      continue;
    }
    if (pollFds_[kSignalsAt].revents != 0) {
      signalfd_siginfo info{};
      while (read(signalFd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1) {
          logCounters("on request");
          continue;
        }
        if (info.ssi_signo == SIGHUP) {
          if (reload_) reload_();
          continue;
        }
        log(Priority::Notice, "stopping on %s", strsignal(static_cast<int>(info.ssi_signo)));
        logCounters("at exit");
        return;
      }
    }
    std::uint64_t expirations = 0;
    if (pollFds_[kReportTimerAt].revents != 0 &&
        read(reportTimer_.get(), &expirations, sizeof expirations) == static_cast<ssize_t>(sizeof expirations)) {
      std::uint64_t total = 0;
      for (const auto& c : counts_) total += c.load(std::memory_order_relaxed);
      if (total != reportedTotal) logCounters("periodic");
      reportedTotal = total;
    }
    if (pollFds_[kSamplerAt].revents != 0 && sampler_.take(snapshot_) && watched < pollFds_.size()) {
      watched = pollFds_.size();
      log(Priority::Info, "ready: %s", runningSettings(configuration_).c_str());
    }
    for (std::size_t i = kFirstListenerAt; i < watched; ++i) {
      if (pollFds_[i].revents != 0) serve(listeners_[i - kFirstListenerAt]);
    }
  }
}

void Server::serve(const Listener& listener) {
  // MSG_TRUNC: each length is the datagram's real size, so an oversized one is seen as such.
  const int received = recvmmsg(listener.fd.get(), requests_, kBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
  // Nothing waiting, or an error that poll will show again if it lasts.
  if (received <= 0) return;
  std::uint64_t tally[static_cast<int>(RequestCheck::kCount)] = {};
  gate_.startBatch();
  int answers = 0;
  for (int i = 0; i < received; ++i) {
    msghdr& in = requests_[i].msg_hdr;
    Slot& slot = slots_[i];
    const RequestCheck check = gate_.check(IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&slot.source)),
                                           slot.request, requests_[i].msg_len);
    if (check == RequestCheck::Valid) {
      Slot& out = slots_[answers];
      qrvl::wire::encodeResponse(qrvl::wire::requestSequence(slot.request), snapshot_.status, snapshot_.record,
                                 out.response);
      msghdr& reply = replies_[answers].msg_hdr;
      reply.msg_name = &slot.source;
      reply.msg_namelen = in.msg_namelen;
      reply.msg_control = nullptr;
      reply.msg_controllen = 0;
      if (listener.wildcard) answerFromDestination(in, reply, out.replyControl);
      ++answers;
    } else {
      ++tally[static_cast<int>(check)];
    }
    // The kernel shortened these to what it filled in.
    in.msg_namelen = sizeof slot.source;
    in.msg_controllen = sizeof slot.control;
  }
  const int sent = sendReplies(listener, answers);
  tally[static_cast<int>(RequestCheck::Valid)] += static_cast<std::uint64_t>(sent);
  tally[static_cast<int>(RequestCheck::SendFailed)] += static_cast<std::uint64_t>(answers - sent);
  for (int i = 0; i < static_cast<int>(RequestCheck::kCount); ++i) {
    counts_[i].store(counts_[i].load(std::memory_order_relaxed) + tally[i], std::memory_order_relaxed);
  }
}

int Server::sendReplies(const Listener& listener, int count) {
  int sent = 0;
  int attempts = 0;
  for (int next = 0; next < count;) {
    const int n = sendmmsg(listener.fd.get(), replies_ + next, static_cast<unsigned>(count - next), MSG_DONTWAIT);
    if (n > 0) {
      sent += n;
      next += n;
      attempts = 0;
      continue;
    }
    // The reply at `next` failed: a passing error is tried again a few times, then the
    // reply is given up and the rest go on.
    if (n < 0 && transientSendError(errno) && ++attempts < kSendAttempts) continue;
    ++next;
    attempts = 0;
  }
  return sent;
}

std::uint64_t Server::count(RequestCheck outcome) const {
  return counts_[static_cast<int>(outcome)].load(std::memory_order_relaxed);
}

void Server::logCounters(const char* when) {
  std::string line = std::string("counters ") + when + ":";
  for (int i = 0; i < static_cast<int>(RequestCheck::kCount); ++i) {
    const RequestCheck check = static_cast<RequestCheck>(i);
    line += std::string(" ") + requestCheckName(check) + "=" + std::to_string(count(check));
  }
  log(Priority::Info, "%s", line.c_str());
}

}  // namespace qrvld
