#include <cerrno>

#include "nk-descriptor.hpp"

namespace nk {
namespace {

// `call`'s result once it is neither EINTR nor EAGAIN; EAGAIN waits for `event` on `fd`.
template <class Call>
ssize_t Retried(int fd, short event, Call call) {
  for (;;) {
    const ssize_t result = call();
    if (result >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
      return result;
    }
    if (errno != EINTR) {
      pollfd ready{fd, event, 0};
      Poll(&ready, 1, -1);
    }
  }
}

}  // namespace

ssize_t Read_Some(int fd, void* buffer, std::size_t size) {
  return Retried(fd, POLLIN, [&] { return ::read(fd, buffer, size); });
}

ssize_t Read_Full_At(int fd, void* buffer, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = Retried(fd, POLLIN, [&] {
      return ::pread(fd, static_cast<char*>(buffer) + done, size - done,
                     offset + static_cast<off_t>(done));
    });
    if (count < 0) {
      return -1;
    }
    if (count == 0) {
      break;
    }
    done += static_cast<std::size_t>(count);
  }
  return static_cast<ssize_t>(done);
}

std::size_t Write_All(int fd, const void* data, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const char* from = static_cast<const char*>(data) + done;
    const ssize_t count = Retried(fd, POLLOUT, [&] {
      return offset < 0 ? ::write(fd, from, size - done)
                        : ::pwrite(fd, from, size - done, offset + static_cast<off_t>(done));
    });
    if (count <= 0) {
      if (count == 0) {
        errno = EIO;  // a write that takes nothing would be retried for ever
      }
      break;
    }
    done += static_cast<std::size_t>(count);
  }
  return done;
}

int Poll(pollfd* fds, nfds_t count, int timeout_ms) {
  const int ready = ::poll(fds, count, timeout_ms);
  if (ready < 0 && errno == EINTR) {
    for (nfds_t i = 0; i < count; ++i) {
      fds[i].revents = 0;
    }
    return 0;
  }
  return ready;
}

}  // namespace nk
