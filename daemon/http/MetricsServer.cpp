#include "http/MetricsServer.h"

#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "http/PasswordCheck.h"

namespace qrvld {

struct MetricsServer::Site {
  Site(const MetricsBoard& board, const MetricsServer& server, const WebConfig& web, PasswordMemory& memory,
       ConnectionWatch& watch)
      : board(board),
        server(server),
        web(web),
        passwords(web.users, memory),
        priorities(web.priorities()),
        watch(watch) {}

  const MetricsBoard& board;
  const MetricsServer& server;
  const WebConfig web;      // the server reads its certificate and key from here
  PasswordCheck passwords;  // on the server's one thread only
  const std::string priorities;
  ConnectionWatch& watch;
};

namespace {
// Enough for a pair of Prometheus servers and a person with curl; a client beyond them
// waits in the listen queue until one leaves.
constexpr unsigned kConnectionLimit = 8;
// One address may hold half of them; beyond that its connections are closed as they come,
// so that it cannot take the places of the others.
constexpr unsigned kPerAddressLimit = 4;
// Seconds a connection may stay idle, reading or writing, before it is closed.
constexpr unsigned kTimeoutSeconds = 5;
// What a request head may take in all, however steadily it comes: a scrape's is sent at once.
constexpr auto kHeadDeadline = std::chrono::seconds(5);
// What one connection may hold: its request line and headers, which for a scrape are a few
// hundred bytes, and the response headers. A larger request is refused.
constexpr std::size_t kMemoryLimit = 16 * 1024;
constexpr int kBacklog = 64;

constexpr char kExposition[] = "text/plain; version=0.0.4; charset=utf-8";
constexpr char kPlain[] = "text/plain; charset=utf-8";

MHD_Result admit(void* site, const sockaddr* address, socklen_t) {
  const auto& server = static_cast<const MetricsServer::Site*>(site)->server;
  return server.admits(IpAddress::fromSockaddr(address)) ? MHD_YES : MHD_NO;
}

ConnectionWatch::Entry* watched(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info != nullptr ? static_cast<ConnectionWatch::Entry*>(info->socket_context) : nullptr;
}

void notify(void* cls, MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode code) {
  auto& watch = static_cast<MetricsServer::Site*>(cls)->watch;
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* address = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (fd != nullptr && address != nullptr) {
      *context = watch.opened(fd->connect_fd, IpAddress::fromSockaddr(address->client_addr));
    }
  } else if (code == MHD_CONNECTION_NOTIFY_CLOSED && *context != nullptr) {
    watch.closed(static_cast<ConnectionWatch::Entry*>(*context));
    *context = nullptr;
  }
}

void completed(void* cls, MHD_Connection* connection, void**, MHD_RequestTerminationCode) {
  if (ConnectionWatch::Entry* entry = watched(connection)) static_cast<MetricsServer::Site*>(cls)->watch.requestDone(entry);
}

MHD_Result reply(MHD_Connection* connection, unsigned status, const char* type, const std::string& body,
                 const char* header = nullptr, const char* value = nullptr) {
  MHD_Response* response =
      MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
  if (header != nullptr) MHD_add_response_header(response, header, value);
  const MHD_Result queued = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return queued;
}

// The client's certificate as `mode` wants it: GnuTLS asked for one during the handshake
// (libmicrohttpd does when it has a trust list) and checks it here, expiry included, and
// that it is meant for a client: a server certificate of the same CA is no key to the metrics.
bool certificateAccepted(MHD_Connection* connection, ClientAuth mode) {
  if (mode == ClientAuth::None) return true;
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
  if (info == nullptr) return false;
  const auto session = static_cast<gnutls_session_t>(info->tls_session);
  unsigned count = 0;
  if (gnutls_certificate_get_peers(session, &count) == nullptr || count == 0) return mode == ClientAuth::VerifyIfGiven;
  unsigned status = 0;
  gnutls_typed_vdata_st purpose{GNUTLS_DT_KEY_PURPOSE_OID,
                                reinterpret_cast<unsigned char*>(const_cast<char*>(GNUTLS_KP_TLS_WWW_CLIENT)), 0};
  return gnutls_certificate_verify_peers(session, &purpose, 1, &status) == GNUTLS_E_SUCCESS && status == 0;
}
// Refusals are answered at the first call, before any request body is read, and the
// connection is closed after them. A scrape is answered at the second, once the request
// is complete, so that the connection can stay open for the next one. A client whose
// certificate does not pass is disconnected without an answer, as a failed handshake would
// leave it; the password is checked before the path, so nothing is told without one.
MHD_Result answer(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*, const char*,
                  std::size_t*, void** called) {
  auto& site = *static_cast<MetricsServer::Site*>(cls);
  if (*called == nullptr) {
    if (ConnectionWatch::Entry* entry = watched(connection)) site.watch.headDone(entry);
    if (!certificateAccepted(connection, site.web.clientAuth)) return MHD_NO;
    const MHD_ConnectionInfo* address = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (address == nullptr) return MHD_NO;
    const char* authorization = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    switch (site.passwords.check(authorization, IpAddress::fromSockaddr(address->client_addr),
                                 PasswordCheck::Clock::now())) {
      case PasswordCheck::Verdict::Passed:
        break;
      case PasswordCheck::Verdict::Refused:
        return reply(connection, MHD_HTTP_UNAUTHORIZED, kPlain, "a user name and password are needed\n",
                     MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"qrvld\", charset=\"UTF-8\"");
      case PasswordCheck::Verdict::Busy:
        return reply(connection, MHD_HTTP_TOO_MANY_REQUESTS, kPlain, "too many failed passwords; try again later\n",
                     MHD_HTTP_HEADER_RETRY_AFTER, "1");
    }
  }
  if (std::strcmp(url, "/metrics") != 0) return reply(connection, MHD_HTTP_NOT_FOUND, kPlain, "see /metrics\n");
  if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
    return reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, kPlain, "GET or HEAD only\n", MHD_HTTP_HEADER_ALLOW,
                 "GET, HEAD");
  }
  if (*called == nullptr) {
    *called = connection;
    return MHD_YES;
  }
  return reply(connection, MHD_HTTP_OK, kExposition, site.board.scrape());
}
}  // namespace

MetricsServer::MetricsServer(const MetricsBoard& board, const AllowList& allow)
    : board_(board), watch_(kHeadDeadline), allow_(allow) {}

MetricsServer::~MetricsServer() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
  for (Retiring& r : retiring_) r.thread.join();
}

void MetricsServer::setAllow(const AllowList& allow) {
  {
    std::lock_guard<std::mutex> lock(allowMutex_);
    allow_ = allow;
  }
  const int closed = watch_.refuse([&allow](const IpAddress& client) { return allow.admits(client); });
  if (closed > 0) log(Priority::Info, "closed %d metrics connection(s) of clients no longer allowed", closed);
}

bool MetricsServer::admits(const IpAddress& client) const {
  std::lock_guard<std::mutex> lock(allowMutex_);
  return allow_.admits(client);
}

MHD_Daemon* MetricsServer::launch(Site& site, std::string& error) {
  UniqueFd copy(fcntl(listening_.get(), F_DUPFD_CLOEXEC, 0));
  std::vector<MHD_OptionItem> options = {
      {MHD_OPTION_LISTEN_SOCKET, copy.get(), nullptr},
      {MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit, nullptr},
      {MHD_OPTION_PER_IP_CONNECTION_LIMIT, kPerAddressLimit, nullptr},
      {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(notify), &site},
      {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(completed), &site},
      {MHD_OPTION_CONNECTION_TIMEOUT, kTimeoutSeconds, nullptr},
      {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(kMemoryLimit), nullptr},
  };
  const WebConfig& web = site.web;
  if (web.tls) {
    options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(web.certPem.c_str())});
    options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(web.keyPem.c_str())});
    options.push_back({MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(site.priorities.c_str())});
    if (web.clientAuth != ClientAuth::None) {
      options.push_back({MHD_OPTION_HTTPS_MEM_TRUST, 0, const_cast<char*>(web.clientCaPem.c_str())});
    }
  }
  options.push_back({MHD_OPTION_END, 0, nullptr});
  const unsigned flags =
      MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC | (v6_ ? MHD_USE_IPv6 : 0) | (web.tls ? MHD_USE_TLS : 0);
  MHD_Daemon* daemon =
      copy ? MHD_start_daemon(flags, 0, admit, &site, answer, &site, MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END)
           : nullptr;
  // The library closes its copy when it stops, and on some failures to start as well: once
  // handed over, the copy is never closed here, since a second close could hit another file.
  if (copy) copy.release();
  if (daemon == nullptr) {
    error = "cannot serve metrics on " + where_ + (web.tls ? " with TLS" : "") + ": libmicrohttpd did not start";
    return nullptr;
  }
  return daemon;
}

void MetricsServer::retire() {
  if (daemon_ == nullptr) return;
  // Both accept on the socket for a moment; a client goes to one of them. The old one is
  // quiesced first: stopping it would shut the socket down, which both share.
  UniqueFd old(MHD_quiesce_daemon(daemon_));
  // Those retired before are joined once done; one may still be finishing a bcrypt.
  retiring_.remove_if([](Retiring& r) {
    if (!r.done->load()) return false;
    r.thread.join();
    return true;
  });
  auto done = std::make_shared<std::atomic<bool>>(false);
  retiring_.push_back({std::thread([daemon = daemon_, site = std::move(site_), done] {
                         MHD_stop_daemon(daemon);
                         done->store(true);
                       }),
                       done});
  daemon_ = nullptr;
}

bool MetricsServer::setWebConfig(const WebConfig& web, std::string& error) {
  auto site = std::make_unique<Site>(board_, *this, web, passwords_, watch_);
  MHD_Daemon* next = launch(*site, error);
  if (next == nullptr) return false;
  retire();
  daemon_ = next;
  site_ = std::move(site);
  return true;
}

bool MetricsServer::start(const IpAddress& address, std::uint16_t port, const WebConfig& web, std::string& error) {
  const bool v4 = address.isV4();
  v6_ = !v4;
  where_ = address.textWithPort(port);
  const std::string& text = where_;
  // The socket is made here rather than by the library, so that a failure has its reason.
  UniqueFd fd(socket(v4 ? AF_INET : AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  sockaddr_storage storage;
  const socklen_t length = address.toSockaddr(port, storage);
  const int on = 1;
  const int off = 0;
  bool ok = static_cast<bool>(fd) && setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
  if (!v4) ok = ok && setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0;
  if (!ok || bind(fd.get(), reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd.get(), kBacklog) != 0) {
    error = "cannot listen on " + text + " for metrics: " + std::strerror(errno);
    return false;
  }
  listening_ = std::move(fd);
  if (!setWebConfig(web, error)) return false;
  log(Priority::Info, "metrics on %s://%s/metrics (%s)", web.tls ? "https" : "http", text.c_str(),
      web.summary().c_str());
  return true;
}

}  // namespace qrvld
