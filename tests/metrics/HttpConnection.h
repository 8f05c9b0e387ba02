#pragma once

#include <cstdint>
#include <string>

#include "UdpPeer.h"

namespace qrvltest {

// One TCP connection to an HTTP server on loopback, written by hand so that a test can
// send what a well-behaved client would not and hold a connection open idle.
class HttpConnection {
 public:
  // Connects to 127.0.0.1:port from the loopback address `from`.
  explicit HttpConnection(std::uint16_t port, const std::string& from = kLoopback);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  void send(const std::string& bytes);
  // What the server sends within `timeoutMs`, up to its closing the connection, which
  // `closed` tells.
  std::string receive(int timeoutMs, bool& closed);

 private:
  int fd_;
};

// The whole response to one request that asks the server to close after it, with the
// header lines `headers` ("Name: value\r\n" each); empty when the server closed without one.
std::string httpRequest(std::uint16_t port, const std::string& method, const std::string& path,
                        const std::string& from = kLoopback, const std::string& headers = "");

}  // namespace qrvltest
