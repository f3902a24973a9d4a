// Terminal modes, the terminal's width and signal dispositions. The start-up modes are
// saved once; every way out (normal exit, an ending signal, a crash) and every stop gives
// them back, so a crash, a kill or a stop never leaves the user's terminal without echo.
#include "terminal/tty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

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
// Set while Cooked_Mode is alive: a stop then belongs to the program, and the bound on the
// ending waits for it.
std::atomic<bool> program_running{false};
std::mutex mode_mutex;
std::atomic<bool> window_changed{false};
std::atomic<bool> continued{false};  // set by SIGTSTP's handler once continued at the prompt
std::atomic<pid_t> sampler_group{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "must be async-signal-safe");
// Posted by an ending signal in the key loop: starts the bound on the orderly ending.
sem_t ending_started;
// Set once the key loop has drawn: a forced ending then leaves the cursor on a new row.
std::atomic<bool> frames_drawn{false};
static_assert(std::atomic<bool>::is_always_lock_free, "must be async-signal-safe");

// The cursor keys in normal mode: the arrows then send ESC [ A, not ESC O A.
constexpr char Normal_Cursor_Keys[] = "\x1b[?1l";

constexpr int fatal_signals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
// Ending signals that a job started in the background finds ignored, and keeps so.
constexpr int ending_signals[] = {SIGINT, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2};
// How long the orderly ending may take before nelk is ended of the signal.
constexpr auto Ending_Bound = std::chrono::seconds(1);

// Restores the start-up modes; async-signal-safe (tcsetattr only).
void Restore_Saved() {
  if (have_saved_modes) {
    ::tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_modes);
  }
}

// As Restore_Saved, for the signal handlers: TCSADRAIN would wait for output that may
// never drain (a stopped terminal, a flow-controlled line) and hang the way out.
void Restore_Now() {
  if (have_saved_modes) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_modes);
  }
}

// Ends the process of `signal_number` with the modes restored and nothing of the sampler
// left running, the cursor on a row of its own after a frame. Async-signal-safe.
[[noreturn]] void Die_Of(int signal_number) {
  Restore_Now();
  if (const pid_t group = sampler_group.load(); group > 0) {
    ::kill(-group, SIGKILL);
  }
  // Only when the byte has room: a terminal that does not drain must not hold the way out.
  pollfd output{STDOUT_FILENO, POLLOUT, 0};
  if (frames_drawn.load() && ::isatty(STDOUT_FILENO) == 1 && ::poll(&output, 1, 0) == 1 &&
      (output.revents & POLLOUT) != 0) {
    [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, "\n", 1);
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal_number, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal_number);
  ::_exit(128 + signal_number);  // a signal whose default is not to end, never sent here
}

// While the key loop runs, SIGTERM and SIGHUP only end it, so the run ends through Quit
// (after a running command); elsewhere nothing would ever read the notice, and a blocked
// open or read (a pipe named by -F) would outlive the signal.
std::atomic<bool> key_loop_running{false};

void Wake_Key_Loop() {
  const unsigned char byte = 1;
  [[maybe_unused]] const auto written = ::write(wake_pipe[1], &byte, 1);
}

// The ending signals: HUP, INT, QUIT, PIPE, ALRM, TERM, USR1, USR2.
void On_Termination(int signal_number) {
  if (!key_loop_running.load()) {
    Die_Of(signal_number);
  }
  const int saved_errno = errno;
  int none = 0;
  if (termination_signal.compare_exchange_strong(none, signal_number)) {
    ::sem_post(&ending_started);
  }
  Wake_Key_Loop();
  errno = saved_errno;
}

// Waits for an ending signal, then gives the orderly ending its bound; a program that runs
// meanwhile is waited for, as it always was.
void Watch_Ending() {
  sigset_t all;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
  while (::sem_wait(&ending_started) != 0) {
  }
  do {
    std::this_thread::sleep_for(Ending_Bound);
  } while (program_running.load());
  Die_Of(termination_signal.load());
}

// SIGWINCH: only note it; the next redraw reads the new width.
void On_Window_Change(int) {
  window_changed.store(true);
}

// A fatal signal: give the terminal back, then die of the same signal so the exit
// status and any core dump stay truthful. Runs on the alternate stack: a stack overflow
// leaves none of its own.
void On_Fatal(int signal_number) {
  Die_Of(signal_number);
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
// Async-signal-safe with TCSANOW.
void Set_Raw(Keyboard keyboard, int when = TCSADRAIN) {
  const termios raw =
      keyboard == Keyboard::LINES_UNECHOED ? Unechoed_Of(saved_modes) : Raw_Of(saved_modes);
  // Both keep what the user typed ahead; TCSAFLUSH would drop it.
  ::tcsetattr(STDIN_FILENO, when, &raw);
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

bool Ignored(int signal_number) {
  struct sigaction current {};
  return ::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// SIGTSTP. At the prompt: the start-up modes while stopped, the keys' mode and a redraw
// after. While a program runs: only the stop, as without a handler; the program stops
// with nelk and takes the terminal's modes back itself.
void On_Stop(int) {
  const int saved_errno = errno;
  const bool at_prompt = raw_held.load() && !program_running.load();
  if (at_prompt) {
    Restore_Now();
  }
  ::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
  ::raise(SIGTSTP);  // returns once continued
  ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  Install_Handler(SIGTSTP, On_Stop, SA_RESTART);
  if (at_prompt && raw_held.load() && !program_running.load()) {
    Set_Raw(held_keyboard.load(), TCSANOW);
    continued.store(true);
    Wake_Key_Loop();
  }
  errno = saved_errno;
}

// The main thread's stack for the crash handler; a thread started later has none of its
// own, and an overflow there still dies without the modes. Untouched pages cost nothing.
void Take_Crash_Stack() {
  static unsigned char stack[64 * 1024];
  stack_t alternate{};
  alternate.ss_sp = stack;
  alternate.ss_size = sizeof stack;
  ::sigaltstack(&alternate, nullptr);
}

}  // namespace

void Note_Sampler_Group(pid_t group) {
  sampler_group.store(group);
}

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
      Take_Crash_Stack();
      for (const int signal_number : fatal_signals) {
        Install_Handler(signal_number, On_Fatal, SA_RESETHAND | SA_ONSTACK);
      }
      if (!Ignored(SIGTSTP)) {  // ignored by a shell without job control: nobody would fg
        Install_Handler(SIGTSTP, On_Stop, SA_RESTART);
      }
    }
    // Without a wake pipe the key loop is never told: the signals then always end the
    // process at once.
    if (::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      wake_pipe[0] = wake_pipe[1] = -1;
    }
    ::sem_init(&ending_started, 0, 0);
    for (const int signal_number : ending_signals) {
      if (!Ignored(signal_number)) {
        Install_Handler(signal_number, On_Termination, SA_RESTART);
      }
    }
    // Also when found ignored: a write to a closed output must end nelk, not fail forever.
    Install_Handler(SIGPIPE, On_Termination, SA_RESTART);
    Install_Handler(SIGTERM, On_Termination, SA_RESTART);
    Install_Handler(SIGHUP, On_Termination, SA_RESTART);
    Install_Handler(SIGWINCH, On_Window_Change, SA_RESTART);
  });
}

Key_Loop_Signals::Key_Loop_Signals() {
  static std::once_flag once;
  std::call_once(once, [] { std::thread(Watch_Ending).detach(); });
  frames_drawn = true;
  key_loop_running = wake_pipe[1] >= 0;
}

Key_Loop_Signals::~Key_Loop_Signals() {
  key_loop_running = false;
  // A signal noted while the loop ran still decides the status (Termination_Signal).
}

Raw_Mode::Raw_Mode(Keyboard keyboard) {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
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
  program_running = true;
  if (raw_held) {
    Restore_Saved();
  }
}

Cooked_Mode::~Cooked_Mode() {
  const std::lock_guard lock(mode_mutex);
  if (raw_held) {
    Set_Raw(held_keyboard);
  }
  program_running = false;
  ::sigaction(SIGINT, &old_interrupt, nullptr);
  ::sigaction(SIGQUIT, &old_quit, nullptr);
}

std::optional<unsigned char> Read_Byte(const std::function<void()>& on_continue) {
  for (;;) {
    if (termination_signal.load() != 0) {
      return std::nullopt;
    }
    if (continued.exchange(false) && on_continue) {
      on_continue();
      continue;
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
