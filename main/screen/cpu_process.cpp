#include "screen/cpu_process.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "nk-descriptor.hpp"
#include "nk-shell.hpp"
#include "nk-stamps.hpp"
#include "nk-text.hpp"
#include "run/spawn.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/tty.hpp"

namespace nk::main {

namespace {

constexpr std::size_t Usage_Bytes = 5;  // and so at most five columns

}  // namespace

std::string Usage_Field(std::string_view first_line) {
  // Whole characters only: half of one would show as bad bytes. An invalid byte counts as
  // one character of one column, as a frame shows it.
  std::u32string shown;
  std::size_t bytes = 0;
  for (const char32_t c : text::Decode_Utf8(first_line)) {
    bytes += text::Encode_Utf8(std::u32string_view(&c, 1)).size();
    if (bytes > Usage_Bytes) break;
    shown += c;
  }
  // Every character takes at most as many columns as it has bytes.
  std::string field(Usage_Bytes - text::Display_Columns(shown), ' ');
  field += text::Encode_Utf8(shown);
  field += '%';
  return field;
}

std::string Sample_File(std::string_view home) {
  return std::string(home) + "/.cpu_usage.txt";
}

std::string Sample_Command(std::string_view home) {
  // The text already goes to the command interpreter: a nested "sh -c" would
  // only start a second shell on every redraw. HOME is quoted, so blanks, quotes or "$"
  // in it neither break the command nor inject one. Errors of a missing sampler would
  // land on the prompt twice a second, hence 2>/dev/null.
  return "exec " + shell::Shell_Quote(std::string(home) + "/bin/cpu") + " > " +
         shell::Shell_Quote(Sample_File(home)) + " </dev/null 2>/dev/null";
}

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
        Take_Sample();
        // The reply carries the usage: a second round trip for it cost every redraw.
        request.Usage = usage_;
        break;
      case Cpu_Op::PREPARE:
        Take_Sample();
        break;
      case Cpu_Op::GET_USAGE:
        request.Usage = usage_;
        break;
      case Cpu_Op::STOP:
        inbox_.Close();
        if (run_) {
          Finish_Run(Sample_File(home_), false);  // a run being tried: nelk is going
        }
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
  const auto now = std::chrono::steady_clock::now();
  const auto step = schedule_.Next(now);
  switch (step) {
    case Sampler_Schedule::Step::RUN:
      if (Start_Run(file)) {
        const bool ended = Wait_Within(*run_, Sampler_Limit);
        Finish_Run(file, ended);
        if (!ended) {
          schedule_.Killed(std::chrono::steady_clock::now());
        }
      }
      break;
    case Sampler_Schedule::Step::KEEP:
      break;
    case Sampler_Schedule::Step::START:
      if (!Start_Run(file)) {
        schedule_.Ended();
      }
      break;
    case Sampler_Schedule::Step::LOOK:
    case Sampler_Schedule::Step::LOOK_OR_KILL:
      if (Wait_Within(*run_, std::chrono::milliseconds(0))) {
        Finish_Run(file, true);
        schedule_.Ended();
      } else if (step == Sampler_Schedule::Step::LOOK_OR_KILL) {
        Finish_Run(file, false);
        schedule_.Killed(now);
      }
      break;
  }
}

// Starts the sampler unless its file is something it would hang on; false when it did not
// start. Not system(): it ignores SIGINT in the whole process while it waits, and under
// NONE a Control-C typed meanwhile would be lost.
bool Cpu_Process::Start_Run(const std::string& file) {
  if (!Missing_Or_Regular(file)) {
    return false;  // no sample: the usage stays as it was
  }
  stamps::Stamp(stamps::Point::SAMPLER_START);
  run_ = Start_Bounded("/bin/sh", {"-c", command_}, Sampler_Folder(home_));
  if (run_) {
    tty::Note_Sampler_Group(run_->Pid);
  }
  return run_.has_value();
}

// The run has `ended`, or is killed now and handed to the reaper. The status is of no use:
// a sampler that failed leaves no line, and no line keeps the last figure; nor is what a
// killed one left, perhaps half a line.
void Cpu_Process::Finish_Run(const std::string& file, bool ended) {
  stamps::Stamp(stamps::Point::SAMPLER_END);
  if (!ended) {
    Kill_Group(*run_);
    reaper_.Adopt(std::move(*run_));
  }
  run_.reset();
  tty::Note_Sampler_Group(0);
  if (const auto line = ended ? First_Line(file) : std::nullopt) {
    usage_ = Usage_Field(*line);
  }
  ::unlink(file.c_str());
  stamps::Stamp(stamps::Point::USAGE);
}

}  // namespace nk::main
