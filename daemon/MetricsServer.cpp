#include "MetricsServer.h"

#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "Log.h"
#include "UniqueFd.h"

namespace qrvld {

namespace {
// Enough for a pair of Prometheus servers and a person with curl; a client beyond them
// waits in the listen queue until one leaves.
constexpr unsigned kConnectionLimit = 8;
// Seconds a connection may stay idle, reading or writing, before it is closed.
constexpr unsigned kTimeoutSeconds = 5;
// What one connection may hold: its request line and headers, which for a scrape are a few
// hundred bytes, and the response headers. A larger request is refused.
constexpr std::size_t kMemoryLimit = 16 * 1024;
constexpr int kBacklog = 64;

constexpr char kExposition[] = "text/plain; version=0.0.4; charset=utf-8";
constexpr char kPlain[] = "text/plain; charset=utf-8";

MHD_Result admit(void* server, const sockaddr* address, socklen_t) {
  return static_cast<const MetricsServer*>(server)->admits(IpAddress::fromSockaddr(address)) ? MHD_YES : MHD_NO;
}

MHD_Result reply(MHD_Connection* connection, unsigned status, const char* type, const std::string& body) {
  MHD_Response* response =
      MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
  if (status == MHD_HTTP_METHOD_NOT_ALLOWED) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
  const MHD_Result queued = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return queued;
}

// Refusals are answered at the first call, before any request body is read, and the
// connection is closed after them. A scrape is answered at the second, once the request
// is complete, so that the connection can stay open for the next one.
MHD_Result answer(void* board, MHD_Connection* connection, const char* url, const char* method, const char*,
                  const char*, std::size_t*, void** called) {
  if (std::strcmp(url, "/metrics") != 0) return reply(connection, MHD_HTTP_NOT_FOUND, kPlain, "see /metrics\n");
  if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
    return reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, kPlain, "GET or HEAD only\n");
  }
  if (*called == nullptr) {
    *called = connection;
    return MHD_YES;
  }
  return reply(connection, MHD_HTTP_OK, kExposition, static_cast<const MetricsBoard*>(board)->scrape());
}
}  // namespace

MetricsServer::MetricsServer(const MetricsBoard& board, const AllowList& allow) : board_(board), allow_(allow) {}

MetricsServer::~MetricsServer() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

void MetricsServer::setAllow(const AllowList& allow) {
  std::lock_guard<std::mutex> lock(allowMutex_);
  allow_ = allow;
}

bool MetricsServer::admits(const IpAddress& client) const {
  std::lock_guard<std::mutex> lock(allowMutex_);
  return allow_.admits(client);
}

bool MetricsServer::start(const IpAddress& address, std::uint16_t port, std::string& error) {
  const bool v4 = address.isV4();
  const std::string text = (v4 ? address.text() : "[" + address.text() + "]") + ":" + std::to_string(port);
  // The socket is made here rather than by the library, so that a failure has its reason.
  UniqueFd fd(socket(v4 ? AF_INET : AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  sockaddr_storage storage{};
  socklen_t length = 0;
  const int on = 1;
  const int off = 0;
  bool ok = static_cast<bool>(fd) && setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
  if (v4) {
    auto& sa = reinterpret_cast<sockaddr_in&>(storage);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr, address.bytes() + 12, 4);
    length = sizeof sa;
  } else {
    auto& sa = reinterpret_cast<sockaddr_in6&>(storage);
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(port);
    std::memcpy(&sa.sin6_addr, address.bytes(), 16);
    length = sizeof sa;
    ok = ok && setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0;
  }
  if (!ok || bind(fd.get(), reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd.get(), kBacklog) != 0) {
    error = "cannot listen on " + text + " for metrics: " + std::strerror(errno);
    return false;
  }
  daemon_ = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | (v4 ? 0 : MHD_USE_IPv6), 0, admit, this, answer,
                             const_cast<MetricsBoard*>(&board_), MHD_OPTION_LISTEN_SOCKET, fd.get(),
                             MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit, MHD_OPTION_CONNECTION_TIMEOUT,
                             kTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kMemoryLimit, MHD_OPTION_END);
  if (daemon_ == nullptr) {
    error = "cannot serve metrics on " + text + ": libmicrohttpd did not start";
    return false;
  }
  // The library closes the socket when it stops.
  fd.release();
  log(Priority::Info, "metrics on http://%s/metrics", text.c_str());
  return true;
}

}  // namespace qrvld
