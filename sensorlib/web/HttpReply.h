#pragma once
// One HTTP/1.1 response read as its bytes arrive: the status line, the headers that
// matter to a client that keeps its connection, and a body delimited by Content-Length,
// by chunks or by the end of the connection. Sizes are bounded, so a hostile server
// costs at most kMaxHead + kMaxBody bytes.

#include <cstddef>
#include <string>

namespace qrvl::web {

class HttpReply {
 public:
  static constexpr std::size_t kMaxHead = 16 * 1024;
  static constexpr std::size_t kMaxBody = 4 * 1024 * 1024;

  enum class State { Incomplete, Complete, Malformed };

  // Ready for the response to the next request.
  void reset();
  // Takes the next bytes of the connection.
  State feed(const char* data, std::size_t size);
  // The server closed the connection: a body that runs to the close is complete now,
  // anything else is cut short.
  State close();

  State state() const { return state_; }
  // Why the response is malformed.
  const std::string& why() const { return why_; }
  // Whether any byte of a response has arrived.
  bool started() const { return !head_.empty() || headDone_; }
  int status() const { return status_; }
  const std::string& reason() const { return reason_; }
  // The connection can carry the next request.
  bool keepAlive() const { return keepAlive_; }
  // Content-Encoding other than identity: the body is not the text it stands for.
  bool encoded() const { return encoded_; }
  const std::string& body() const { return body_; }

 private:
  enum class Framing { Length, Chunked, UntilClose };
  enum class ChunkPart { Size, Data, DataEnd, Trailer };

  State fail(const std::string& why);
  bool parseHead();
  State takeBody(const char* data, std::size_t size);
  State takeChunks(const char* data, std::size_t size);

  State state_ = State::Incomplete;
  std::string why_;
  std::string head_;
  bool headDone_ = false;
  int status_ = 0;
  std::string reason_;
  bool keepAlive_ = true;
  bool encoded_ = false;
  Framing framing_ = Framing::UntilClose;
  std::size_t remaining_ = 0;
  ChunkPart chunkPart_ = ChunkPart::Size;
  std::string line_;
  std::size_t trailerSize_ = 0;
  std::string body_;
};

}  // namespace qrvl::web
