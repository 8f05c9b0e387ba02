#include "web/HttpReply.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace qrvl::web {

namespace {
std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// A whole decimal or hexadecimal number that fits the limit; false otherwise.
bool parseSize(const std::string& text, int base, std::size_t limit, std::size_t& out) {
  const char* end = text.data() + text.size();
  std::size_t n = 0;
  const auto parsed = std::from_chars(text.data(), end, n, base);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end || n > limit) return false;
  out = n;
  return true;
}
}  // namespace

void HttpReply::reset() { *this = HttpReply(); }

HttpReply::State HttpReply::fail(const std::string& why) {
  why_ = why;
  keepAlive_ = false;
  return state_ = State::Malformed;
}

HttpReply::State HttpReply::feed(const char* data, std::size_t size) {
  if (state_ != State::Incomplete) {
    // Bytes after a complete response, with no request asked: the connection is not
    // in step any more.
    if (size > 0) keepAlive_ = false;
    return state_;
  }
  if (!headDone_) {
    const std::size_t before = head_.size();
    head_.append(data, size);
    // Something else on the port tells at once, rather than at the time-out.
    if (head_.compare(0, 5, "HTTP/", 0, head_.size() < 5 ? head_.size() : 5) != 0) return fail("not an HTTP reply");
    const std::size_t end = head_.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (head_.size() > kMaxHead) return fail("the reply's headers exceed 16 KiB");
      return state_;
    }
    if (end + 4 > kMaxHead) return fail("the reply's headers exceed 16 KiB");
    const std::size_t bodyStart = end + 4;
    const std::size_t consumed = bodyStart - before;
    head_.resize(end + 2);
    headDone_ = true;
    if (!parseHead()) return state_;
    data += consumed;
    size -= consumed;
    // An interim reply (100 Continue and the like) comes before the one asked for.
    if (status_ / 100 == 1) {
      reset();
      return size > 0 ? feed(data, size) : state_;
    }
  }
  return takeBody(data, size);
}

bool HttpReply::parseHead() {
  std::size_t lineEnd = head_.find("\r\n");
  const std::string statusLine = head_.substr(0, lineEnd);
  // "HTTP/1.1 200 OK"
  if (statusLine.compare(0, 5, "HTTP/") != 0 || statusLine.size() < 12 || statusLine[8] != ' ' ||
      !std::isdigit(static_cast<unsigned char>(statusLine[9])) ||
      !std::isdigit(static_cast<unsigned char>(statusLine[10])) ||
      !std::isdigit(static_cast<unsigned char>(statusLine[11])) || (statusLine.size() > 12 && statusLine[12] != ' ')) {
    fail("not an HTTP reply");
    return false;
  }
  std::from_chars(statusLine.data() + 9, statusLine.data() + 12, status_);
  reason_ = statusLine.size() > 13 ? statusLine.substr(13) : "";
  keepAlive_ = statusLine.compare(5, 3, "1.1") == 0;

  bool haveLength = false;
  bool chunked = false;
  bool close = false;
  std::size_t length = 0;
  for (std::size_t start = lineEnd + 2; start < head_.size();) {
    const std::size_t end = head_.find("\r\n", start);
    const std::string line = head_.substr(start, end - start);
    start = end + 2;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      fail("a header line without a name");
      return false;
    }
    // A name is one token: white space in it, or before the colon, makes the header
    // something each reader may take differently.
    if (line.find_first_of(" \t") < colon) {
      fail("white space in a header's name");
      return false;
    }
    const std::string name = lower(line.substr(0, colon));
    const std::string value = lower(trim(line.substr(colon + 1)));
    const bool framed = name == "content-length" || name == "transfer-encoding";
    if (framed && (status_ == 204 || status_ == 304)) continue;
    if (name == "content-length") {
      std::size_t n = 0;
      if (!parseSize(value, 10, kMaxBody, n)) {
        const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
        fail(digits ? "the reply is larger than 4 MiB" : "a bad Content-Length");
        return false;
      }
      if (haveLength && n != length) {
        fail("two different Content-Length headers");
        return false;
      }
      haveLength = true;
      length = n;
    } else if (name == "transfer-encoding") {
      if (value != "chunked") {
        fail("a transfer coding other than chunked: " + value);
        return false;
      }
      chunked = true;
    } else if (name == "connection") {
      if (value.find("keep-alive") != std::string::npos) keepAlive_ = true;
      close = close || value.find("close") != std::string::npos;
    } else if (name == "content-encoding") {
      encoded_ = value != "identity";
    }
  }
  if (close) keepAlive_ = false;
  if (status_ == 204 || status_ == 304) {
    // These never have a body, whatever their framing headers say.
    framing_ = Framing::Length;
    remaining_ = 0;
  } else if (chunked) {
    framing_ = Framing::Chunked;
  } else if (haveLength) {
    framing_ = Framing::Length;
    remaining_ = length;
  } else {
    framing_ = Framing::UntilClose;
    keepAlive_ = false;
  }
  return true;
}

HttpReply::State HttpReply::takeBody(const char* data, std::size_t size) {
  switch (framing_) {
    case Framing::Length: {
      const std::size_t n = size < remaining_ ? size : remaining_;
      body_.append(data, n);
      remaining_ -= n;
      if (size > n) keepAlive_ = false;
      if (remaining_ == 0) state_ = State::Complete;
      return state_;
    }
    case Framing::UntilClose:
      if (body_.size() + size > kMaxBody) return fail("the reply is larger than 4 MiB");
      body_.append(data, size);
      return state_;
    case Framing::Chunked:
      return takeChunks(data, size);
  }
  return state_;
}

HttpReply::State HttpReply::takeChunks(const char* data, std::size_t size) {
  std::size_t i = 0;
  while (i < size && state_ == State::Incomplete) {
    if (chunkPart_ == ChunkPart::Data) {
      const std::size_t n = size - i < remaining_ ? size - i : remaining_;
      body_.append(data + i, n);
      i += n;
      remaining_ -= n;
      if (remaining_ == 0) chunkPart_ = ChunkPart::DataEnd;
      continue;
    }
    // Size lines, the line end after a chunk's data and trailer lines, one byte at a time.
    const char c = data[i++];
    line_ += c;
    if (line_.size() > 1024) return fail("a chunk line longer than 1 KiB");
    if (c != '\n') continue;
    if (line_.size() < 2 || line_[line_.size() - 2] != '\r') return fail("a chunk line without CRLF");
    std::string line = line_.substr(0, line_.size() - 2);
    line_.clear();
    if (chunkPart_ == ChunkPart::DataEnd) {
      if (!line.empty()) return fail("chunk data longer than its size");
      chunkPart_ = ChunkPart::Size;
    } else if (chunkPart_ == ChunkPart::Size) {
      const std::size_t semicolon = line.find(';');
      std::size_t n = 0;
      if (!parseSize(trim(line.substr(0, semicolon)), 16, kMaxBody, n)) return fail("a bad chunk size");
      if (body_.size() + n > kMaxBody) return fail("the reply is larger than 4 MiB");
      remaining_ = n;
      chunkPart_ = n == 0 ? ChunkPart::Trailer : ChunkPart::Data;
    } else if (line.empty()) {
      state_ = State::Complete;
    } else if ((trailerSize_ += line.size()) > kMaxHead) {
      return fail("the reply's trailer exceeds 16 KiB");
    }
  }
  if (i < size) keepAlive_ = false;
  return state_;
}

HttpReply::State HttpReply::close() {
  keepAlive_ = false;
  if (state_ != State::Incomplete) return state_;
  if (headDone_ && framing_ == Framing::UntilClose) return state_ = State::Complete;
  return fail(started() ? "the server closed the connection in the middle of its reply"
                        : "the server closed the connection without a reply");
}

}  // namespace qrvl::web
