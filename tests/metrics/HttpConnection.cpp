#include "HttpConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace qrvltest {

HttpConnection::HttpConnection(std::uint16_t port, const std::string& from)
    : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, from.c_str(), &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  inet_pton(AF_INET, kLoopback, &server.sin_addr);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    std::abort();
  }
}

HttpConnection::~HttpConnection() { close(fd_); }

void HttpConnection::send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

std::string HttpConnection::receive(int timeoutMs, bool& closed) {
  std::string text;
  closed = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return text;
    char buffer[65536];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed = true;
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string httpRequest(std::uint16_t port, const std::string& method, const std::string& path,
                        const std::string& from, const std::string& headers) {
  HttpConnection connection(port, from);
  connection.send(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
  bool closed = false;
  return connection.receive(5000, closed);
}

}  // namespace qrvltest
