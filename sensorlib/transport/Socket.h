#pragma once
// A socket with one owner: closed when its owner goes, handed on by moving, never copied.
// Each socket back end (PosixSocket.cpp, WinsockSocket.cpp) closes it in its own way.

#include <utility>

#include "transport/SocketApi.h"

namespace qrvl::sockapi {

class Socket {
 public:
  Socket() = default;
  explicit Socket(Handle handle) : handle_(handle) {}
  ~Socket() { reset(); }
  Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kInvalidHandle)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, kInvalidHandle);
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Borrowed by the socket operations; stays owned here.
  Handle get() const { return handle_; }
  bool isOpen() const { return handle_ != kInvalidHandle; }
  // Closes the socket, if one is open.
  void reset() noexcept;

 private:
  Handle handle_ = kInvalidHandle;
};

}  // namespace qrvl::sockapi
