// The one owner of a file descriptor. It lives in the leaf library because every module
// links that one, not because it is about text.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace nk {

// Closes its descriptor on every way out of its scope, an error thrown halfway included.
// Closing keeps errno, so a failure being reported keeps its reason.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.Release();
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // The descriptor, now the caller's to close.
  int Release() { return std::exchange(fd_, -1); }
  void Close() {
    if (fd_ >= 0) {
      const int error = errno;
      ::close(Release());
      errno = error;
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace nk
