// The one owner of a file descriptor. It lives in the leaf library because every module
// links that one, not because it is about text.
#pragma once

#include <poll.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>
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

// The one place where a system call meets EINTR and EAGAIN: a signal is retried, and a
// descriptor that some program left non-blocking (O_NONBLOCK is shared with it) is waited
// out with poll instead of losing the bytes. No caller loops on errno.

// Up to `size` bytes; 0 at the end; -1 on an error (errno tells).
ssize_t Read_Some(int fd, void* buffer, std::size_t size);
// Up to `size` bytes from `offset`, as many reads as it takes: fewer only at the end; -1
// on an error.
ssize_t Read_Full_At(int fd, void* buffer, std::size_t size, off_t offset);
// How many of the `size` bytes were written: all, or those before a write that failed
// (errno tells). A negative `offset` writes at the file's position.
std::size_t Write_All(int fd, const void* data, std::size_t size, off_t offset = -1);
inline bool Write_All(int fd, std::string_view bytes) {
  return Write_All(fd, bytes.data(), bytes.size()) == bytes.size();
}
// `call` (a system call answering -1 and errno on failure) again while a signal
// interrupts it: for those that are no read or write (waitpid, flock).
template <class Call>
auto Restarted(Call call) {
  auto result = call();
  while (result == -1 && errno == EINTR) {
    result = call();
  }
  return result;
}
// poll, where a signal counts as nothing being ready yet (every revents 0).
int Poll(pollfd* fds, nfds_t count, int timeout_ms);

}  // namespace nk
