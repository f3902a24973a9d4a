// Signal dispositions: every ending signal and crash gives the start-up modes back before
// nelk dies of it, a stop until continued; the key loop is woken for a bounded orderly ending.
#include <fcntl.h>
#include <poll.h>
#include <semaphore.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "terminal/tty.hpp"
#include "terminal/tty_state.hpp"

namespace nk::main::tty {
namespace state {
int wake_pipe[2] = {-1, -1};
std::atomic<int> termination_signal{0};
std::atomic<bool> continued{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<pid_t>::is_always_lock_free,
              "must be async-signal-safe");
}  // namespace state

namespace {
using namespace state;

std::atomic<bool> window_changed{false};
std::atomic<pid_t> sampler_group{0};
std::atomic<pid_t> running_program{0};
// The hang-up is passed on once: nelk's own share of it would come back to this handler.
std::atomic<bool> hang_up_passed{false};
// Only a group of nelk's own is told as a whole: one shared with whatever started nelk (a
// script) is not nelk's to hang up.
bool leads_group = false;
// Posted by an ending signal in the key loop: starts the bound on the orderly ending.
sem_t ending_started;
// Set once main has returned: exit (a sanitizer's report) is not cut short.
std::atomic<bool> exiting{false};
// Set once the key loop has drawn: a forced ending then leaves the cursor on a new row.
std::atomic<bool> frames_drawn{false};

constexpr int fatal_signals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
// Ending signals that a job started in the background finds ignored, and keeps so.
constexpr int ending_signals[] = {SIGINT, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2};
// How long the orderly ending may take before nelk is ended of the signal.
constexpr auto Ending_Bound = std::chrono::seconds(1);

// Blocks or unblocks one signal in the calling thread. Async-signal-safe.
void Mask(int how, int signal_number) {
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal_number);
  ::pthread_sigmask(how, &one, nullptr);
}

// Ends the process of `signal_number` (a truthful status and core dump), modes restored, the
// sampler killed, the cursor on a row of its own after a frame. Async-signal-safe.
[[noreturn]] void Die_Of(int signal_number) {
  Restore_Saved();
  if (const pid_t group = sampler_group.load(); group > 0) {
    ::kill(-group, SIGKILL);
  }
  // Only when the byte has room: a terminal that does not drain must not hold the way out.
  pollfd output{STDOUT_FILENO, POLLOUT, 0};
  if (frames_drawn.load() && output_is_terminal && ::poll(&output, 1, 0) == 1 &&
      (output.revents & POLLOUT) != 0) {
    [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, "\n", 1);
  }
  ::signal(signal_number, SIG_DFL);
  Mask(SIG_UNBLOCK, signal_number);
  ::raise(signal_number);
  ::_exit(128 + signal_number);  // a signal whose default is not to end, never sent here
}

// While the key loop runs, an ending signal only ends it, so the run ends through Quit;
// elsewhere nothing would read the notice, and a blocked open (-F's pipe) would outlive it.
std::atomic<bool> key_loop_running{false};

void Wake_Key_Loop() {
  const unsigned char byte = 1;
  [[maybe_unused]] const auto written = ::write(wake_pipe[1], &byte, 1);
}

// A hang-up while a program runs: the kernel tells only the session's leader, and a program
// not told would run on, detached. nelk's own group holds the program and what it started;
// a program that made a group of its own (an interactive shell) is told by its number.
void Pass_Hang_Up() {
  if (const pid_t program = running_program.load(); program > 0 && !hang_up_passed.exchange(true)) {
    for (const int signal_number : {SIGHUP, SIGCONT}) {
      if (leads_group) {
        ::kill(0, signal_number);
      }
      ::kill(-program, signal_number);
      ::kill(program, signal_number);
    }
  }
}

// The ending signals: HUP, INT, QUIT, PIPE, ALRM, TERM, USR1, USR2.
void On_Termination(int signal_number) {
  if (!key_loop_running.load()) {
    Die_Of(signal_number);
  }
  const int saved_errno = errno;
  if (signal_number == SIGHUP) {
    Pass_Hang_Up();
  }
  int none = 0;
  if (termination_signal.compare_exchange_strong(none, signal_number)) {
    ::sem_post(&ending_started);
  }
  Wake_Key_Loop();
  errno = saved_errno;
}

// Waits for an ending signal, then gives the orderly ending its bound.
void Watch_Ending() {
  sigset_t all;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
  while (::sem_wait(&ending_started) != 0) {
  }
  Wait_Outside_Programs(Ending_Bound);
  if (!exiting.load()) {
    Die_Of(termination_signal.load());
  }
}

// SIGWINCH: only note it; the next redraw reads the new width.
void On_Window_Change(int) {
  window_changed.store(true);
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
// after. While a program runs: only the stop; the program restores its own modes.
void On_Stop(int) {
  const int saved_errno = errno;
  const bool at_prompt = keyboard_held.load() && !program_running.load();
  if (at_prompt) {
    Restore_Saved();
  }
  ::signal(SIGTSTP, SIG_DFL);
  Mask(SIG_UNBLOCK, SIGTSTP);
  ::raise(SIGTSTP);  // returns once continued
  Mask(SIG_BLOCK, SIGTSTP);
  Install_Handler(SIGTSTP, On_Stop, SA_RESTART);
  if (at_prompt && keyboard_held.load() && !program_running.load()) {
    Set_Keyboard(held_keyboard.load(), TCSANOW);
    continued.store(true);
    Wake_Key_Loop();
  }
  errno = saved_errno;
}
}  // namespace

void Take_Crash_Stack() {
  // Untouched pages cost nothing. One set up already (a sanitizer's) stays: its owner frees
  // it when the thread ends, and would fail on ours.
  thread_local unsigned char stack[64 * 1024];
  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) {
    return;
  }
  stack_t alternate{};
  alternate.ss_sp = stack;
  alternate.ss_size = sizeof stack;
  ::sigaltstack(&alternate, nullptr);
}

void Note_Program(pid_t program) {
  running_program.store(program);
}
void Note_Sampler_Group(pid_t group) {
  sampler_group.store(group);
}

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    Mask(SIG_BLOCK, SIGCHLD);  // inherited by every thread started later
    output_is_terminal = ::isatty(STDOUT_FILENO) == 1;
    leads_group = ::getpgrp() == ::getpid();
    if (::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &saved_modes) == 0) {
      have_saved_modes = true;
      had_foreground = ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
      std::atexit([] { Restore_Saved(); });
      Take_Crash_Stack();
      // On the alternate stack: a stack overflow leaves none of its own.
      for (const int signal_number : fatal_signals) {
        Install_Handler(signal_number, Die_Of, SA_RESETHAND | SA_ONSTACK);
      }
      if (!Ignored(SIGTSTP)) {  // ignored by a shell without job control: nobody would fg
        Install_Handler(SIGTSTP, On_Stop, SA_RESTART);
      }
    }
    // Without a wake pipe the key loop is never told: the signals then end nelk at once.
    if (::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      wake_pipe[0] = wake_pipe[1] = -1;
    }
    ::sem_init(&ending_started, 0, 0);
    for (const int signal_number : ending_signals) {
      if (!Ignored(signal_number)) {
        Install_Handler(signal_number, On_Termination, SA_RESTART);
      }
    }
    // SIGPIPE also when found ignored: a write to a closed output must end nelk.
    for (const int signal_number : {SIGPIPE, SIGTERM, SIGHUP}) {
      Install_Handler(signal_number, On_Termination, SA_RESTART);
    }
    Install_Handler(SIGWINCH, On_Window_Change, SA_RESTART);
  });
}

Key_Loop_Signals::Key_Loop_Signals() {
  // Not std::call_once: a thread that cannot be had (ulimit -u) throws, which would abort
  // inside pthread_once; a static's first use passes the error on to main's one line.
  [[maybe_unused]] static const bool watching = [] {
    std::atexit([] { exiting = true; });
    std::thread(Watch_Ending).detach();
    return true;
  }();
  frames_drawn = true;
  key_loop_running = wake_pipe[1] >= 0;
}

// A signal noted while the loop ran still decides the status (Termination_Signal).
Key_Loop_Signals::~Key_Loop_Signals() {
  key_loop_running = false;
}

void Take_Child_Signals() {
  Mask(SIG_UNBLOCK, SIGCHLD);
}
int Termination_Signal() {
  return termination_signal.load();
}
bool Take_Window_Change() {
  return window_changed.exchange(false);
}
}  // namespace nk::main::tty
