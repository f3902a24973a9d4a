// Terminal modes and the terminal's width. The start-up modes are saved once (signals.cpp);
// every way out and every stop gives them back, so the user's terminal keeps its echo.
#include "terminal/tty.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "nk-descriptor.hpp"
#include "terminal/tty_state.hpp"

namespace nk::main::tty {
namespace state {
termios saved_modes{};
bool have_saved_modes = false;
bool output_is_terminal = false;
bool had_foreground = false;
std::atomic<bool> keyboard_held{false};
std::atomic<Keyboard> held_keyboard{Keyboard::KEYS};
std::atomic<bool> program_running{false};
}  // namespace state

namespace {
using namespace state;

std::mutex mode_mutex;
// A program's end, for the ending's bound. Never destroyed: still waited on during exit.
std::mutex& program_mutex = *new std::mutex;
std::condition_variable& program_ended = *new std::condition_variable;

// What a program may leave on that changes the bytes keys and pastes send: application
// cursor keys (ESC O A, not ESC [ A), bracketed paste (ESC [ 200 ~ around a paste), mouse
// reporting (clicks as keys) and the keypad's application mode.
constexpr char Input_Modes_Off[] =
    "\x1b[?1l\x1b[?2004l\x1b[?1000l\x1b[?1002l\x1b[?1003l\x1b[?1006l\x1b>";

// What Cooked_Mode found for SIGINT and SIGQUIT, given back after the program.
struct sigaction old_interrupt {};
struct sigaction old_quit {};

// A program may leave descriptors 0-2 non-blocking, and they share that flag with nelk:
// its reads would then fail with EAGAIN, and every program after it would inherit it.
void Clear_Non_Blocking() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) != 0) {
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
  }
}
}  // namespace

void state::Restore_Saved(int when) {
  if (have_saved_modes) {
    ::tcsetattr(STDIN_FILENO, when, &saved_modes);
  }
}

void state::Set_Keyboard(Keyboard keyboard, int when) {
  // LINES_UNECHOED: lines, Control-D and the signal keys work as the terminal makes them.
  termios modes = saved_modes;
  modes.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  if (keyboard != Keyboard::LINES_UNECHOED) {
    // One byte at a time; Control-C and Control-Z are plain keys. c_oflag is left alone:
    // clearing OPOST would make child output staircase.
    modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ISIG | IEXTEN);
    modes.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
    modes.c_cc[VMIN] = 1;
    modes.c_cc[VTIME] = 0;
  }
  // Keeps what the user typed ahead; TCSAFLUSH would drop it.
  ::tcsetattr(STDIN_FILENO, when, &modes);
  if (keyboard == Keyboard::XTERM_KEYS && output_is_terminal) {
    Write_All(STDOUT_FILENO, Input_Modes_Off, sizeof Input_Modes_Off - 1);
  }
}

bool state::Take_Foreground() {
  if (!had_foreground || ::tcgetpgrp(STDIN_FILENO) == ::getpgrp()) {
    return true;
  }
  // From the background, tcsetpgrp would stop nelk with SIGTTOU.
  sigset_t tty_output;
  sigset_t old;
  sigemptyset(&tty_output);
  sigaddset(&tty_output, SIGTTOU);
  ::pthread_sigmask(SIG_BLOCK, &tty_output, &old);
  const bool taken = ::tcsetpgrp(STDIN_FILENO, ::getpgrp()) == 0;
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return taken;
}

Keyboard_Mode::Keyboard_Mode(Keyboard keyboard) {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
    held_keyboard = keyboard;
    Set_Keyboard(keyboard);
    keyboard_held = true;
  }
}

Keyboard_Mode::~Keyboard_Mode() {
  const std::lock_guard lock(mode_mutex);
  if (have_saved_modes) {
    keyboard_held = false;
    Restore_Saved();
  }
}

Cooked_Mode::Cooked_Mode() {
  const std::lock_guard lock(mode_mutex);
  // Control-C and Control-\ must stop the child, not the shell that shares its group.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGINT, &ignore, &old_interrupt);
  ::sigaction(SIGQUIT, &ignore, &old_quit);
  program_running = true;
  if (keyboard_held) {
    Restore_Saved();
  }
}

Cooked_Mode::~Cooked_Mode() {
  const std::lock_guard lock(mode_mutex);
  // First: from the background, setting the modes would stop nelk.
  Take_Foreground();
  Clear_Non_Blocking();
  if (keyboard_held) {
    Set_Keyboard(held_keyboard);
  }
  {
    const std::lock_guard ended(program_mutex);
    program_running = false;
  }
  program_ended.notify_all();
  ::sigaction(SIGINT, &old_interrupt, nullptr);
  ::sigaction(SIGQUIT, &old_quit, nullptr);
}

void state::Wait_Outside_Programs(std::chrono::seconds span) {
  std::unique_lock lock(program_mutex);
  while (program_ended.wait_for(lock, span, [] { return program_running.load(); })) {
    program_ended.wait(lock, [] { return !program_running.load(); });
  }
}

std::optional<std::size_t> Columns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return std::nullopt;
  }
  return size.ws_col;
}
}  // namespace nk::main::tty
