#include "terminal/tty.hpp"

#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "asleep.hpp"
#include "sync/request_server.hpp"
#include "terminal/tty_state.hpp"

namespace {

namespace tty = nk::main::tty;

// Echo, canonical mode and signal keys: what the key loop's mode turns off.
tcflag_t Local_Modes(int fd) {
  termios modes{};
  ::tcgetattr(fd, &modes);
  return modes.c_lflag;
}

// Deeper for ever; the frame's bytes keep the calls from being folded into a loop.
[[gnu::noinline]] int Overflow(int depth) {
  volatile char frame[256];
  frame[depth % 256] = static_cast<char>(depth);
  return depth < 0 ? 0 : Overflow(depth + 1) + frame[(depth + 1) % 256];
}

// A crash gives the start-up modes back (the other ways out: tests/e2e).
TEST(Tty, CrashesRestoreTheStartUpModes) {
  // 0: a stack overflow (its SIGSEGV has only the alternate stack); 1: the same in a thread.
  for (const int how : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, 0, 1}) {
#ifdef __SANITIZE_ADDRESS__
    if (how <= 1) continue;  // AddressSanitizer reports the overflow itself
#endif
    int master = -1, slave = -1;  // slave: the child's standard input
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const tcflag_t before = Local_Modes(slave);
    // In a child: the unit keeps process-wide state (saved modes, handlers, the pipe).
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(slave, STDIN_FILENO);
      tty::Install();
      const tty::Keyboard_Mode keys;  // never destroyed: the child ends inside its scope
      if (Local_Modes(STDIN_FILENO) == before) std::_Exit(99);  // else nothing is proved
      if (how == 0) Overflow(0);
      if (how == 1)
        nk::main::Start_Named_Thread("deep", [](std::latch& up) {
          up.count_down();
          Overflow(0);
        }).join();
      ::raise(how);
      std::_Exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(Local_Modes(slave), before) << how;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (how <= 1 ? SIGSEGV : how)) << how;
    for (const int fd : {master, slave}) ::close(fd);
  }
}

// The ending's bound sleeps with no deadline while a program runs, and resumes once it ends.
TEST(Tty, TheEndingsBoundSleepsUntilTheRunningProgramEnds) {
  std::optional<tty::Cooked_Mode> program(std::in_place);
  std::atomic<pid_t> waiter{0};
  std::thread bound([&waiter] {
    waiter = ::gettid();
    tty::state::Wait_Outside_Programs(std::chrono::seconds(1));
  });
  EXPECT_FALSE(Wait_Asleep_In(waiter));
  program.reset();
  while (!Wait_Asleep_In(waiter)) continue;
  bound.join();
}

}  // namespace
