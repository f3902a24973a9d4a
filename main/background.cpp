#include "main/background.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string_view>

#include "main/output.hpp"
#include "main/semaphore_guard.hpp"
#include "main/tty.hpp"
#include "shared/nk-shared.hpp"

namespace nk::main {

std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body) {
  std::latch started(1);
  std::thread thread([name, &started, body = std::move(body)] {
    ::pthread_setname_np(::pthread_self(), name);
    body(started);
  });
  started.wait();
  return thread;
}

// ---- cpu_process ----------------------------------------------------------------------

void Cpu_Process::Sample() {
  inbox_.Call(Cpu_Request{Cpu_Op::SAMPLE, {}}, Waits::BODY);
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

// ---- screen ---------------------------------------------------------------------------

void Screen::Refresh() {
  inbox_.Call(Screen_Op::REFRESH, Waits::BODY);
}

void Screen::Serve(std::latch& started) {
  started.count_down();
  while (auto accepted = inbox_.Accept()) {
    if (accepted->Get() == Screen_Op::STOP) {
      inbox_.Close();
      return;
    }
    try {
      Draw();
    } catch (const std::exception& error) {
      // A redraw that failed must not end the thread that every key waits for.
      Write_Whole(output_fd_, std::string("\nScreen error: ") + error.what() + "\n");
    }
  }
}

std::string Screen::Total_Image() const {
  try {
    return shared::Image(shared::Read_Total_Sum());
  } catch (const shared::File_Error&) {
    // A damaged total file must not take the prompt down with it.
    return Unknown_Total(state_.Total_Width);
  }
}

void Screen::Draw() {
  Semaphore_Guard hold(state_.Line_Lock);
  prompt_.clear();
  cpu_.Sample();
  if (auto usage = cpu_.Get_Usage()) {
    usage_ = std::move(*usage);
  }
  const std::string total = Total_Image();
  prompt_ = Build_Prompt(state_.Term.Kind, usage_, Utc_Time(std::time(nullptr)), total);
  const std::size_t blanks = state_.Previous_Length + state_.Total_Width + 6;
  Write_Whole(output_fd_, Build_Frame(prompt_, blanks, state_.Line));
  // The width of what was drawn, not of a second read: the next frame must blank exactly
  // this image, even when another process changed the total meanwhile.
  state_.Total_Width = total.size();
  state_.Previous_Length = 0;
}

// ---- deamon ---------------------------------------------------------------------------

void Deamon::Pause() {
  inbox_.Call(Deamon_Op::PAUSE, Waits::ACCEPT);
}

void Deamon::Resume() {
  inbox_.Call(Deamon_Op::RESUME, Waits::ACCEPT);
}

void Deamon::Serve(std::latch& started) {
  started.count_down();
  bool running = !start_paused_;
  for (;;) {
    auto accepted = running ? inbox_.Accept_For(period_) : inbox_.Accept();
    if (!accepted) {
      if (inbox_.Is_Closed()) {
        return;
      }
      redraw_();  // a whole period without a request
      continue;
    }
    switch (accepted->Get()) {
      case Deamon_Op::STOP:
        inbox_.Close();
        return;
      case Deamon_Op::PAUSE:
        running = false;
        break;
      case Deamon_Op::RESUME:
        running = true;
        break;
    }
  }
}

}  // namespace nk::main
