#include "terminal/output.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <streambuf>

#include "nk-descriptor.hpp"

namespace nk::main {
namespace {
// All of `bytes` to `fd`; a terminal gone ends the run as its hang-up would.
void Send(int fd, std::string_view bytes) {
  if (!Write_All(fd, bytes) && errno == EIO) {
    ::raise(SIGHUP);
  }
}

// std::cout's buffer. Every flush reports success: the bytes that could not be written
// are lost either way, and a stream left failed would drop every later message too.
class Output_Buffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override {
    sync();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      sputc(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    Send(STDOUT_FILENO, std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return 0;
  }

 private:
  std::array<char, 4096> buffer_{};
};
}  // namespace

void Route_Standard_Output() {
  // Never destroyed: std::cout is flushed after every static is gone.
  static auto* const buffer = new Output_Buffer;
  std::cout.rdbuf(buffer);
}

void Write_Whole(int fd, std::string_view bytes) {
  std::cout.flush();
  Send(fd, bytes);
}
}  // namespace nk::main
