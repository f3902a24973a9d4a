// Terminal modes, the terminal's width and signal dispositions. The start-up modes are
// saved once; every way out (normal exit, SIGTERM, SIGHUP, a fatal signal) gives them back,
// so a crash or a kill never leaves the user's terminal without echo.
#include "terminal/tty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
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
std::atomic<Keyboard> held_keyboard{Keyboard::KEYS};
std::mutex mode_mutex;
// Under LINES_UNECHOED, SIGINT's and SIGQUIT's dispositions from before it.
struct sigaction unechoed_interrupt {};
struct sigaction unechoed_quit {};
std::atomic<bool> window_changed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "must be async-signal-safe");

// The cursor keys in normal mode: the arrows then send ESC [ A, not ESC O A.
constexpr char Normal_Cursor_Keys[] = "\x1b[?1l";

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

// SIGWINCH: only note it; the next redraw reads the new width.
void On_Window_Change(int) {
  window_changed.store(true);
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

// Only echo off: lines, Control-D and the signal keys work as the terminal makes them.
termios Unechoed_Of(const termios& modes) {
  termios unechoed = modes;
  unechoed.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  return unechoed;
}

// The mode of `keyboard`; under XTERM_KEYS, the cursor keys back in normal mode too.
void Set_Raw(Keyboard keyboard) {
  const termios raw =
      keyboard == Keyboard::LINES_UNECHOED ? Unechoed_Of(saved_modes) : Raw_Of(saved_modes);
  // TCSADRAIN keeps what the user typed ahead; TCSAFLUSH would drop it.
  ::tcsetattr(STDIN_FILENO, TCSADRAIN, &raw);
  if (keyboard == Keyboard::XTERM_KEYS && ::isatty(STDOUT_FILENO) == 1) {
    [[maybe_unused]] const auto written =
        ::write(STDOUT_FILENO, Normal_Cursor_Keys, sizeof Normal_Cursor_Keys - 1);
  }
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
    Install_Handler(SIGWINCH, On_Window_Change, SA_RESTART);
  });
}

Key_Loop_Signals::Key_Loop_Signals() {
  key_loop_running = wake_pipe[1] >= 0;
}

Key_Loop_Signals::~Key_Loop_Signals() {
  key_loop_running = false;
  // A signal noted while the loop ran still decides the status (Termination_Signal).
}

Raw_Mode::Raw_Mode(Keyboard keyboard) {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
    if (keyboard == Keyboard::LINES_UNECHOED && wake_pipe[0] >= 0) {
      // The signal keys now reach the shell itself: they end the run in order.
      struct sigaction ending {};
      ending.sa_handler = On_Termination;
      sigemptyset(&ending.sa_mask);
      ending.sa_flags = SA_RESTART;
      ::sigaction(SIGINT, &ending, &unechoed_interrupt);
      ::sigaction(SIGQUIT, &ending, &unechoed_quit);
    }
    held_keyboard = keyboard;
    Set_Raw(keyboard);
    raw_held = true;
  }
}

Raw_Mode::~Raw_Mode() {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
    raw_held = false;
    Restore_Saved();
    if (held_keyboard == Keyboard::LINES_UNECHOED && wake_pipe[0] >= 0) {
      ::sigaction(SIGINT, &unechoed_interrupt, nullptr);
      ::sigaction(SIGQUIT, &unechoed_quit, nullptr);
    }
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
    Set_Raw(held_keyboard);
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

std::optional<std::size_t> Columns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return std::nullopt;
  }
  return size.ws_col;
}

bool Take_Window_Change() {
  return window_changed.exchange(false);
}

}  // namespace nk::main::tty
