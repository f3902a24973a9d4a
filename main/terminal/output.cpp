#include "terminal/output.hpp"

#include <unistd.h>

#include <cerrno>
#include <iostream>

namespace nk::main {

void Write_Whole(int fd, std::string_view bytes) {
  std::cout.flush();
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;  // the terminal is gone; there is nobody left to tell
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace nk::main
