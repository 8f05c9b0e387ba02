#pragma once

namespace qrvld {

// Owns one file descriptor and closes it exactly once: when destroyed, reset, or moved
// over. Move-only, so no two owners ever hold the same descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept;
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes the one held, if any, and takes `fd`.
  void reset(int fd = -1);
  // Gives the descriptor up to a new owner (a FILE*, say) without closing it.
  int release();

 private:
  int fd_ = -1;
};

}  // namespace qrvld
