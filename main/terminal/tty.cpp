// Terminal modes and signal dispositions. The start-up modes are saved once; every way
// out (normal exit, SIGTERM, SIGHUP, a fatal signal) gives them back, so a crash or a
// kill never leaves the user's terminal without echo.
#include "terminal/tty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace nk::main::tty {
namespace {

// Written once by Install, before any other thread exists; read-only afterwards, so the
// signal handlers may read them.
termios saved_modes{};
bool have_saved_modes = false;
int wake_pipe[2] = {-1, -1};

// Atomic rather than sig_atomic_t: the handler may run on any of the threads.
std::atomic<int> termination_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "must be async-signal-safe");
// Raw mode is held by the key loop; children are started by another thread, which
// must know whether to take raw mode back afterwards.
std::atomic<bool> raw_held{false};
std::mutex mode_mutex;

constexpr int fatal_signals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

// Restores the start-up modes; async-signal-safe (tcsetattr only).
void Restore_Saved() {
  if (have_saved_modes) {
    ::tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_modes);
  }
}

// While the key loop runs, SIGTERM and SIGHUP only end it, so the run ends through Quit
// (after a running command); elsewhere nothing would ever read the notice, and a blocked
// open or read (a pipe named by -F) would outlive the signal.
std::atomic<bool> key_loop_running{false};

// SIGTERM, SIGHUP.
void On_Termination(int signal_number) {
  if (!key_loop_running.load()) {
    Restore_Saved();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal_number, &fallback, nullptr);
    ::raise(signal_number);  // delivered once the handler returns: status 128+N
    return;
  }
  const int saved_errno = errno;
  termination_signal.store(signal_number);
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] const auto written = ::write(wake_pipe[1], &byte, 1);
  errno = saved_errno;
}

// A fatal signal: give the terminal back, then die of the same signal so the exit
// status and any core dump stay truthful.
void On_Fatal(int signal_number) {
  Restore_Saved();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

termios Raw_Of(const termios& modes) {
  termios raw = modes;
  // Keys arrive one byte at a time, unechoed; Control-C and Control-Z are plain keys.
  // c_oflag is left alone: clearing OPOST would make child output staircase.
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  return raw;
}

void Set_Raw() {
  const termios raw = Raw_Of(saved_modes);
  // TCSADRAIN keeps what the user typed ahead; TCSAFLUSH would drop it.
  ::tcsetattr(STDIN_FILENO, TCSADRAIN, &raw);
}

void Install_Handler(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Threads started from here on inherit the blocked SIGCHLD; see Take_Child_Signals.
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    ::pthread_sigmask(SIG_BLOCK, &child, nullptr);
    if (::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &saved_modes) == 0) {
      have_saved_modes = true;
      std::atexit(Restore_Saved);
      for (const int signal_number : fatal_signals) {
        Install_Handler(signal_number, On_Fatal, SA_RESETHAND);
      }
    }
    // Without a wake pipe the key loop is never told: the signals then always end the
    // process at once.
    if (::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      wake_pipe[0] = wake_pipe[1] = -1;
    }
    Install_Handler(SIGTERM, On_Termination, SA_RESTART);
    Install_Handler(SIGHUP, On_Termination, SA_RESTART);
  });
}

Key_Loop_Signals::Key_Loop_Signals() {
  key_loop_running = wake_pipe[1] >= 0;
}

Key_Loop_Signals::~Key_Loop_Signals() {
  key_loop_running = false;
  // A signal noted while the loop ran still decides the status (Termination_Signal).
}

Raw_Mode::Raw_Mode() {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
    Set_Raw();
    raw_held = true;
  }
}

Raw_Mode::~Raw_Mode() {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
    raw_held = false;
    Restore_Saved();
  }
}

namespace {
struct sigaction old_interrupt {};
struct sigaction old_quit {};
}  // namespace

Cooked_Mode::Cooked_Mode() {
  const std::lock_guard lock(mode_mutex);
  // Control-C and Control-\ must stop the child, not the shell that shares its group.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGINT, &ignore, &old_interrupt);
  ::sigaction(SIGQUIT, &ignore, &old_quit);
  if (raw_held) {
    Restore_Saved();
  }
}

Cooked_Mode::~Cooked_Mode() {
  const std::lock_guard lock(mode_mutex);
  if (raw_held) {
    Set_Raw();
  }
  ::sigaction(SIGINT, &old_interrupt, nullptr);
  ::sigaction(SIGQUIT, &old_quit, nullptr);
}

std::optional<unsigned char> Read_Byte() {
  for (;;) {
    if (termination_signal.load() != 0) {
      return std::nullopt;
    }
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
    const int ready = ::poll(fds, wake_pipe[0] >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    if (wake_pipe[0] >= 0 && (fds[1].revents & POLLIN) != 0) {
      return std::nullopt;
    }
    if ((fds[0].revents & POLLNVAL) != 0) {
      return std::nullopt;
    }
    if (fds[0].revents == 0) {
      continue;
    }
    unsigned char byte = 0;
    const ssize_t count = ::read(STDIN_FILENO, &byte, 1);
    if (count == 1) {
      return byte;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
      continue;
    }
    // 0 is the end of input; EIO is a terminal that hung up.
    return std::nullopt;
  }
}

void Take_Child_Signals() {
  sigset_t child;
  sigemptyset(&child);
  sigaddset(&child, SIGCHLD);
  ::pthread_sigmask(SIG_UNBLOCK, &child, nullptr);
}

int Termination_Signal() {
  return termination_signal.load();
}

}  // namespace nk::main::tty
