#include "screen/cpu_process.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "bench/stamps.hpp"
#include "nk-descriptor.hpp"
#include "run/spawn.hpp"
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

// Whether `path` is missing or a regular file (or a link to one). A pipe of that name
// would hang the sampler's redirection, and so every redraw, until a reader came.
bool Missing_Or_Regular(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) != 0 ? errno == ENOENT : S_ISREG(status.st_mode);
}

// The first line of `path`, without its line end; nullopt when the file is empty, cannot
// be read or is not a regular file. Only the first few bytes matter: the field shows
// five characters.
std::optional<std::string> First_Line(const std::string& path) {
  // Non-blocking and checked on the descriptor: the name may have changed since the check.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!file.Valid()) {
    return std::nullopt;
  }
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  char buffer[256];
  const ssize_t count = Read_Some(file.Get(), buffer, sizeof buffer);
  if (count <= 0) {
    return std::nullopt;
  }
  const std::string_view text(buffer, static_cast<std::size_t>(count));
  return std::string(text.substr(0, text.find('\n')));
}

// Where the sampler starts: HOME when it is a folder that can be entered, else the root.
// Never nelk's own folder, which may have been removed (the shell would complain of it).
std::string Sampler_Folder(const std::string& home) {
  struct stat status {};
  const bool usable = !home.empty() && ::stat(home.c_str(), &status) == 0 &&
                      S_ISDIR(status.st_mode) && ::access(home.c_str(), X_OK) == 0;
  return usable ? home : "/";
}

}  // namespace

void Cpu_Process::Take_Sample() {
  Semaphore_Guard hold(directory_lock_);
  const std::string file = Sample_File(home_);
  if (!Missing_Or_Regular(file)) {
    return;  // no sample: the usage stays as it was
  }
  // The status is of no use: a sampler that failed leaves no line, and no line keeps the
  // last figure; nor is what a killed one left, perhaps half a line. Not system(): it
  // ignores SIGINT in the whole process while it waits, and under NONE a Control-C typed
  // meanwhile would be lost.
  stamps::Stamp(stamps::Point::SAMPLER_START);
  const auto end = Run_Bounded("/bin/sh", {"-c", command_}, {Sampler_Folder(home_), Sampler_Limit},
                               tty::Note_Sampler_Group);
  stamps::Stamp(stamps::Point::SAMPLER_END);
  if (const auto line = end == Bounded_End::ENDED ? First_Line(file) : std::nullopt) {
    usage_ = Usage_Field(*line);
  }
  ::unlink(file.c_str());
  stamps::Stamp(stamps::Point::USAGE);
}

}  // namespace nk::main
