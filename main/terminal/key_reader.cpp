// Reading the keyboard a byte at a time, woken by the signal handlers for an ending or a
// continue.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "nk-descriptor.hpp"
#include "terminal/tty.hpp"
#include "terminal/tty_state.hpp"

namespace nk::main::tty {
using namespace state;

std::optional<unsigned char> Read_Byte(const std::function<void()>& on_continue) {
  // A foreground taken back that is refused again at once is no terminal to read.
  int foreground_taken = 0;
  for (;;) {
    if (termination_signal.load() != 0) {
      return std::nullopt;
    }
    if (continued.exchange(false) && on_continue) {
      on_continue();
      continue;
    }
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
    if (Poll(fds, wake_pipe[0] >= 0 ? 2 : 1, -1) < 0) {
      return std::nullopt;
    }
    if (wake_pipe[0] >= 0 && (fds[1].revents & POLLIN) != 0) {
      unsigned char drained[64];
      while (::read(wake_pipe[0], drained, sizeof drained) > 0) {
      }
      continue;  // a termination or a continue, looked at above
    }
    if ((fds[0].revents & POLLNVAL) != 0) {
      return std::nullopt;
    }
    if (fds[0].revents == 0) {
      continue;
    }
    unsigned char byte = 0;
    const ssize_t count = Read_Some(STDIN_FILENO, &byte, 1);
    if (count == 1) {
      return byte;
    }
    // EIO with the terminal still there: a program ended holding the foreground (a killed
    // interactive shell). A hung-up terminal refuses the foreground too.
    if (count < 0 && errno == EIO && foreground_taken++ < 3 && Take_Foreground()) {
      continue;
    }
    return std::nullopt;
  }
}
}  // namespace nk::main::tty
