#include "screen/cpu_process.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "terminal/tty.hpp"
#include "threads/semaphore_guard.hpp"

namespace nk::main {

std::optional<std::string> Cpu_Process::Sample() {
  Cpu_Request request{Cpu_Op::SAMPLE, {}};
  if (!inbox_.Call(request, Waits::BODY)) {
    return std::nullopt;
  }
  return request.Usage;
}

void Cpu_Process::Prepare() {
  inbox_.Call(Cpu_Request{Cpu_Op::PREPARE, {}}, Waits::ACCEPT);
}

std::optional<std::string> Cpu_Process::Get_Usage() {
  Cpu_Request request{Cpu_Op::GET_USAGE, {}};
  if (!inbox_.Call(request, Waits::BODY)) {
    return std::nullopt;
  }
  return request.Usage;
}

void Cpu_Process::Serve(std::latch& started) {
  tty::Take_Child_Signals();
  const char* home = std::getenv("HOME");
  home_ = home != nullptr ? home : "";  // unset: both paths start at the root
  command_ = Sample_Command(home_);
  started.count_down();
  while (auto accepted = inbox_.Accept()) {
    Cpu_Request& request = accepted->Get();
    switch (request.Kind) {
      case Cpu_Op::SAMPLE:
        if (!std::exchange(prepared_, false)) {
          Take_Sample();
        }
        // The reply carries the usage: a second round trip for it cost every redraw.
        request.Usage = usage_;
        break;
      case Cpu_Op::PREPARE:
        Take_Sample();
        prepared_ = true;
        break;
      case Cpu_Op::GET_USAGE:
        request.Usage = usage_;
        break;
      case Cpu_Op::STOP:
        inbox_.Close();
        return;
    }
  }
}

namespace {

// The first line of `path`, without its line end; nullopt when the file is empty or
// cannot be read. Only the first few bytes matter: the field shows five characters.
std::optional<std::string> First_Line(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  char buffer[256];
  ssize_t count = 0;
  do {
    count = ::read(fd, buffer, sizeof buffer);
  } while (count < 0 && errno == EINTR);
  ::close(fd);
  if (count <= 0) {
    return std::nullopt;
  }
  const std::string_view text(buffer, static_cast<std::size_t>(count));
  return std::string(text.substr(0, text.find('\n')));
}

}  // namespace

void Cpu_Process::Take_Sample() {
  Semaphore_Guard hold(directory_lock_);
  // The status is of no use: a sampler that failed leaves no line, and no line keeps the
  // last figure.
  (void)std::system(command_.c_str());
  const std::string file = Sample_File(home_);
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return;
  }
  if (const auto line = First_Line(file)) {
    usage_ = Usage_Field(*line);
  }
  ::unlink(file.c_str());
}

}  // namespace nk::main
