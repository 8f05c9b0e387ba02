// A stand-in for LibreHardwareMonitor's remote web server on loopback, for the library's
// tests natively and under wine and for the monitor's: GET /data.json answers a tree from
// a file, as the real server does (Content-Length, kept connections, Basic authentication
// when a user is given). What the next answer is comes from the first line of a control
// file that the tests write, read at every request:
//   tree FILE       the tree                     chunked FILE   the tree in 100-byte chunks
//   close FILE      the tree, then a close        dribble FILE   the tree a byte every 50 ms
//   status CODE     that status, a short body     raw FILE       the file's bytes as the whole reply
//   body TEXT       TEXT as the tree              deep N         N nested Children lists
//   silent          no answer at all              huge           a Content-Length of 5 MiB
//   flood           1-byte chunks, each with a 1000-byte extension, without pause or end
//   late FILE       the tree, then 100 ms later a stray byte on the kept connection (logged)
//   slow N DIGITS   N board sensors without a type, each value a number of DIGITS digits
//   plain N PAD     N board sensors with a type and a short value, each with PAD bytes beside
// FILE is relative to --trees; without a control file the answer is "tree default.json".
// A second line "auth USER:PASSWORD" asks for those in Basic authentication first.
//
// usage: fake_web_server --listen ADDR --port N --trees DIR [--control FILE]
// Logs "ready" once listening, and a line per connection and per request, on stderr.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {
std::atomic<bool> stopping{false};
std::atomic<int> connections{0};
std::string treesDir;
std::string controlFile;

void onSignal(int) { stopping = true; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (unsigned char c : bytes) {
    bits = (bits << 8) | c;
    count += 8;
    while (count >= 6) {
      count -= 6;
      out += kAlphabet[(bits >> count) & 63];
    }
  }
  if (count > 0) out += kAlphabet[(bits << (6 - count)) & 63];
  while (out.size() % 4 != 0) out += '=';
  return out;
}

bool sendAll(int fd, const std::string& data) {
  for (std::size_t sent = 0; sent < data.size();) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::string reply(int status, const char* reason, const std::string& body, const std::string& extra = "") {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: application/json\r\n" +
         "Cache-Control: no-cache\r\n" + extra + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "{\"Text\":\"n\",\"Children\":[";
  for (int i = 0; i < depth; ++i) text += "]}";
  return text;
}

// A tree built to be slow to choose from: every sensor bears a rule's name on the board's
// chip and has its unit only after a long number. Or, plain, a tree of the same size and
// sensors that is read as any other.
std::string slowTree(int sensors, int digits, bool plain) {
  std::string text = "{\"id\":0,\"Text\":\"Sensor\",\"Children\":[";
  const std::string bulk(static_cast<std::size_t>(digits), '7');
  const std::string fields = plain ? "\"Type\":\"Temperature\",\"Value\":\"45.5 \xC2\xB0"
                                     "C\",\"ImageURL\":\"" + bulk + "\""
                                   : "\"Value\":\"" + bulk + " \xC2\xB0"
                                     "C\"";
  for (int i = 0; i < sensors; ++i) {
    text += (i > 0 ? "," : "") + std::string("{\"id\":") + std::to_string(i + 1) +
            ",\"Text\":\"System\",\"SensorId\":\"/lpc/slow/0/temperature/" + std::to_string(i) + "\"," + fields +
            ",\"Children\":[]}";
  }
  return text + "]}";
}

// Answers one request as the control file says; false when the connection is to end.
bool answer(int fd, const std::string& request) {
  std::string line = "tree default.json";
  std::string auth;
  std::ifstream control(controlFile);
  if (control) {
    std::getline(control, line);
    std::getline(control, auth);
  }
  const std::string expectedAuthorization = auth.compare(0, 5, "auth ") == 0 ? "Basic " + base64(auth.substr(5)) : "";
  const std::string verb = line.substr(0, line.find(' '));
  const std::string arg = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);

  if (!expectedAuthorization.empty() &&
      request.find("\r\nAuthorization: " + expectedAuthorization + "\r\n") == std::string::npos) {
    return sendAll(fd, reply(401, "Unauthorized", "<HTML>401 Unauthorized</HTML>",
                             "WWW-Authenticate: Basic realm=\"Libre Hardware Monitor\"\r\n"));
  }
  if (request.compare(0, 20, "GET /data.json HTTP/") != 0) return sendAll(fd, reply(404, "Not Found", ""));

  if (verb == "tree") return sendAll(fd, reply(200, "OK", readFile(treesDir + "/" + arg)));
  if (verb == "body") return sendAll(fd, reply(200, "OK", arg));
  if (verb == "deep") return sendAll(fd, reply(200, "OK", nested(std::stoi(arg))));
  if (verb == "slow" || verb == "plain") {
    const std::size_t space = arg.find(' ');
    return sendAll(fd, reply(200, "OK", slowTree(std::stoi(arg), std::stoi(arg.substr(space + 1)), verb == "plain")));
  }
  if (verb == "status") return sendAll(fd, reply(std::stoi(arg), "Server Trouble", "{}"));
  if (verb == "close") {
    sendAll(fd, reply(200, "OK", readFile(treesDir + "/" + arg), "Connection: close\r\n"));
    return false;
  }
  if (verb == "raw") {
    sendAll(fd, readFile(treesDir + "/" + arg));
    return false;
  }
  if (verb == "huge") return sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 5242880\r\n\r\n{");
  if (verb == "chunked") {
    const std::string body = readFile(treesDir + "/" + arg);
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t i = 0; i < body.size(); i += 100) {
      const std::string piece = body.substr(i, 100);
      char size[16];
      std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
      out += size + piece + "\r\n";
    }
    return sendAll(fd, out + "0\r\n\r\n");
  }
  if (verb == "flood") {
    if (!sendAll(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")) return false;
    std::string chunks;
    while (chunks.size() < 256 * 1024) chunks += "1;" + std::string(1000, 'x') + "\r\n{\r\n";
    while (!stopping && sendAll(fd, chunks)) {
    }
    return false;
  }
  if (verb == "late") {
    if (!sendAll(fd, reply(200, "OK", readFile(treesDir + "/" + arg)))) return false;
    usleep(100000);
    const bool sent = sendAll(fd, "!");
    std::fprintf(stderr, "late byte sent\n");
    return sent;
  }
  if (verb == "dribble") {
    const std::string out = reply(200, "OK", readFile(treesDir + "/" + arg));
    for (char c : out) {
      if (stopping || !sendAll(fd, std::string(1, c))) return false;
      usleep(50000);
    }
    return true;
  }
  // "silent": the request is taken and never answered.
  while (!stopping) {
    char byte;
    if (recv(fd, &byte, 1, 0) <= 0) break;
  }
  return false;
}

void serve(int fd, int number) {
  std::string pending;
  int requests = 0;
  char buffer[4096];
  while (!stopping) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    const std::size_t end = pending.find("\r\n\r\n");
    if (end == std::string::npos) continue;
    const std::string request = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    std::fprintf(stderr, "request %d on connection %d: %s\n", ++requests, number,
                 request.substr(0, request.find('\r')).c_str());
    if (!answer(fd, request)) break;
  }
  close(fd);
}
}  // namespace

int main(int argc, char** argv) {
  std::string listen = "127.0.0.1";
  int port = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const std::string value = argv[i + 1];
    if (option == "--listen")
      listen = value;
    else if (option == "--port")
      port = std::stoi(value);
    else if (option == "--trees")
      treesDir = value;
    else if (option == "--control")
      controlFile = value;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  const int server = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, listen.c_str(), &address.sin_addr);
  if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(server, 16) != 0) {
    std::fprintf(stderr, "cannot listen on %s:%d: %s\n", listen.c_str(), port,
                 errno == EADDRINUSE ? "address in use" : std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr, "ready on %s:%d\n", listen.c_str(), port);
  while (!stopping) {
    pollfd entry{server, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    const int fd = accept(server, nullptr, nullptr);
    if (fd < 0) continue;
    const int number = ++connections;
    std::fprintf(stderr, "connection %d\n", number);
    std::thread(serve, fd, number).detach();
  }
  close(server);
  // The connections' threads end within their next 100 ms wait.
  usleep(200000);
  return 0;
}
