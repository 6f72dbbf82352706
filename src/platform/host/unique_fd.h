// The one owner of a file descriptor: closed when the owner goes, whatever path a function takes.
//
//   UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
//   if (!fd) return errno;                  // -1 is "no descriptor"
//   if (auto e = fd.close()) return e;      // where a failed close() matters (written data)
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvexa::host {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // Gives the descriptor up without closing it.
  int release() { return std::exchange(fd_, -1); }
  // Closes the one held (its close error is lost: use close() where it counts) and takes `fd`.
  void reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) ::close(old);
  }
  // Closes now; 0 or the errno of a failed close. Either way the descriptor is gone (Linux
  // releases it even when close() fails, so it is never closed twice).
  int close() {
    const int old = release();
    if (old < 0) return 0;
    return ::close(old) == 0 ? 0 : errno;
  }

 private:
  int fd_ = -1;
};

}  // namespace orvexa::host
