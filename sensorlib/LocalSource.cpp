#include "LocalSource.h"

#include <string>

#include "qrvl/Wire.h"
#include "web/WebAddress.h"

namespace qrvl {

bool LocalSource::serves(const HostPort& host) {
  if (host.port != wire::kDefaultPort) return false;
  std::string name = host.name;
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return name == "localhost" || name == "127.0.0.1" || name == "::1";
}

LocalSource::LocalSource(UDPCSock& sock, const HostPort& host)
    : Source(sock.cancelled), host_(host), daemon_(sock, host) {}

bool LocalSource::connect() {
  if (!daemon_.connect()) return failed(daemon_.lastFailure(), daemon_.lastError());
  const std::string name = host_.name.find(':') != std::string::npos ? "[" + host_.name + "]" : host_.name;
  web::WebAddress address;
  std::string why;
  if (web::parseWebAddress(("http://" + name + ":" + std::to_string(web::kDefaultPort) + "/").c_str(), address, why)) {
    webServer_ = std::make_unique<web::WebSource>(address, cancelled_);
    if (!webServer_->connect()) webServer_.reset();
  }
  return succeeded();
}

bool LocalSource::read(LMDATA& data, const Deadline& deadline, unsigned timeoutMs) {
  if (!webServer_) {
    const bool read = daemon_.read(data, deadline, timeoutMs);
    return read ? succeeded() : failed(daemon_.lastFailure(), daemon_.lastError());
  }
  // qrvld wins whenever it answers. Where it does not run the request is refused at once;
  // half the time-out covers a machine that drops it.
  const auto outcome = daemon_.ask(data, Deadline(timeoutMs / 2), timeoutMs / 2);
  if (outcome == udp::UdpSource::Outcome::Reading) return succeeded();
  if (outcome != udp::UdpSource::Outcome::Silent) return failed(daemon_.lastFailure(), daemon_.lastError());
  const std::string port = std::to_string(wire::kDefaultPort);
  if (webServer_->read(data, deadline, timeoutMs)) {
    return succeeded("read from LibreHardwareMonitor's web server on " + webServer_->serverText() +
                     ": qrvld does not answer on UDP " + port);
  }
  const int error = webServer_->lastError();
  if (isCancelled(cancelled_)) return failed(webServer_->lastFailure(), error);
  if (!webServer_->reached()) {
    return failed("neither qrvld (UDP " + port + ") nor LibreHardwareMonitor's web server (" +
                      std::to_string(web::kDefaultPort) +
                      ") answers on this machine: start qrvld, or switch on LibreHardwareMonitor's remote web server "
                      "(Options > Remote Web Server > Run)",
                  error);
  }
  return failed("qrvld does not answer on UDP " + port + " (" + daemon_.lastFailure().substr(0, 200) +
                    "); the web server: " + webServer_->lastFailure().substr(0, 300),
                error);
}

}  // namespace qrvl
