#include "screen/cpu_process.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "nk-descriptor.hpp"
#include "nk-shell.hpp"
#include "nk-stamps.hpp"
#include "nk-text.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/tty.hpp"

namespace nk::main {

std::string Usage_Field(std::string_view first_line) {
  constexpr std::size_t Usage_Bytes = 5;  // and so at most five columns
  // Half a character would show as bad bytes; an invalid byte is one column, as drawn.
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
  // Run by "sh -c" already: no second shell. HOME quoted: blanks, quotes or "$" in it
  // neither break the command nor inject one. A missing sampler's errors would land on the
  // prompt twice a second.
  return "exec " + shell::Shell_Quote(std::string(home) + "/bin/cpu") + " > " +
         shell::Shell_Quote(Sample_File(home)) + " </dev/null 2>/dev/null";
}

std::optional<std::string> Cpu_Process::Ask(Cpu_Op kind) {
  Cpu_Request request{kind, {}};
  return inbox_.Call(request, Waits::BODY) ? std::optional(request.Usage) : std::nullopt;
}

void Cpu_Process::Serve(std::latch& started) {
  tty::Take_Child_Signals();
  const char* home = std::getenv("HOME");
  home_ = home != nullptr ? home : "";  // unset: both paths start at the root
  file_ = Sample_File(home_);
  command_ = Sample_Command(home_);
  started.count_down();
  while (auto accepted = inbox_.Accept()) {
    Cpu_Request& request = accepted->Get();
    if (request.Kind == Cpu_Op::STOP) {
      inbox_.Close();
      if (run_) {
        Finish_Run(false, {});  // a run being tried: nelk is going
      }
      return;
    }
    if (request.Kind != Cpu_Op::GET_USAGE) {
      Take_Sample();
    }
    // SAMPLE's reply carries the usage: a second round trip for it cost every redraw.
    request.Usage = usage_;
  }
}

namespace {

// A pipe of that name would hang the sampler's redirection, and so every redraw.
bool Missing_Or_Regular(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) != 0 ? errno == ENOENT : S_ISREG(status.st_mode);
}

// The first line of a regular file `path`, without its line end; nullopt when there is none.
std::optional<std::string> First_Line(const std::string& path) {
  // Non-blocking and checked on the descriptor: the name may have changed since the check.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat status {};
  if (!file.Valid() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  char buffer[256];  // the field shows five characters
  const ssize_t count = Read_Some(file.Get(), buffer, sizeof buffer);
  if (count <= 0) {
    return std::nullopt;
  }
  const std::string_view text(buffer, static_cast<std::size_t>(count));
  return std::string(text.substr(0, text.find('\n')));
}

// HOME when it can be entered, else the root; never nelk's own folder, which may have been
// removed (the shell would complain of it).
std::string Sampler_Folder(const std::string& home) {
  struct stat status {};
  const bool usable = !home.empty() && ::stat(home.c_str(), &status) == 0 &&
                      S_ISDIR(status.st_mode) && ::access(home.c_str(), X_OK) == 0;
  return usable ? home : "/";
}

}  // namespace

void Cpu_Process::Take_Sample() {
  Semaphore_Guard hold(directory_lock_);
  const auto now = std::chrono::steady_clock::now();
  using Step = Sampler_Schedule::Step;
  const Step step = schedule_.Next(now);
  if (step == Step::RUN && Start_Run()) {
    const bool ended = Wait_Within(*run_, Sampler_Limit);
    Finish_Run(ended, std::chrono::steady_clock::now());
  } else if (step == Step::START && !Start_Run()) {
    schedule_.Ended();
  } else if (step == Step::LOOK || step == Step::LOOK_OR_KILL) {
    if (const bool ended = Wait_Within(*run_, std::chrono::milliseconds(0));
        ended || step == Step::LOOK_OR_KILL) {
      Finish_Run(ended, now);
    }
  }
}

// Starts the sampler unless its file is something it would hang on; false when it did not.
// Not system(): it ignores SIGINT in the whole process, and under NONE a Control-C typed
// meanwhile would be lost.
bool Cpu_Process::Start_Run() {
  if (!Missing_Or_Regular(file_)) {
    return false;  // no sample: the usage stays as it was
  }
  stamps::Stamp(stamps::Point::SAMPLER_START);
  run_ = Start_Bounded("/bin/sh", {"-c", command_}, Sampler_Folder(home_));
  if (run_) {
    tty::Note_Sampler_Group(run_->Pid);
  }
  return run_.has_value();
}

// The run has `ended`, or is killed at `now` and handed to the reaper. The status is of no
// use: a failed sampler leaves no line, which keeps the last figure; a killed one, half one.
void Cpu_Process::Finish_Run(bool ended, Sampler_Schedule::Time now) {
  stamps::Stamp(stamps::Point::SAMPLER_END);
  if (ended) {
    schedule_.Ended();
  } else {
    Kill_Group(*run_);
    reaper_.Adopt(std::move(*run_));
    schedule_.Killed(now);
  }
  run_.reset();
  tty::Note_Sampler_Group(0);
  if (const auto line = ended ? First_Line(file_) : std::nullopt) {
    usage_ = Usage_Field(*line);
  }
  ::unlink(file_.c_str());
  stamps::Stamp(stamps::Point::USAGE);
}

}  // namespace nk::main
