#include "terminal/tty.hpp"

#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

#include "sync/request_server.hpp"

namespace {

namespace tty = nk::main::tty;

bool Same_Modes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         a.c_cflag == b.c_cflag && a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

// Deeper for ever; the frame's bytes keep the calls from being folded into a loop.
[[gnu::noinline]] int Overflow(int depth) {
  volatile char frame[256];
  frame[depth % 256] = static_cast<char>(depth);
  return depth < 0 ? 0 : Overflow(depth + 1) + frame[(depth + 1) % 256];
}

// A crash gives the start-up modes back. The other ways out (exit, termination signals in
// every state) are met by the running program in tests/e2e: interactive_terminal_test.cpp,
// reliability_test.cpp.
TEST(Tty, CrashesRestoreTheStartUpModes) {
  // 0: a stack overflow, whose SIGSEGV finds no stack left but the alternate one; 1: the
  // same in one of the shell's own threads.
  for (const int how : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, 0, 1}) {
#ifdef __SANITIZE_ADDRESS__
    if (how <= 1) continue;  // AddressSanitizer reports the overflow itself
#endif
    int master = -1;
    int slave = -1;  // the child's standard input
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios before{};
    ::tcgetattr(slave, &before);
    // In a child: the unit keeps process-wide state (saved modes, handlers, the pipe).
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(slave, STDIN_FILENO);
      tty::Install();
      // Never destroyed (and not leaked): only the exit path may restore.
      alignas(tty::Raw_Mode) static unsigned char storage[sizeof(tty::Raw_Mode)];
      new (storage) tty::Raw_Mode;
      termios raw{};
      ::tcgetattr(STDIN_FILENO, &raw);
      if (Same_Modes(raw, before)) std::_Exit(99);  // else the check below proves nothing
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
    termios after{};
    ::tcgetattr(slave, &after);
    EXPECT_TRUE(Same_Modes(after, before)) << "way out " << how;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (how <= 1 ? SIGSEGV : how))
        << "way out " << how;
    ::close(master);
    ::close(slave);
  }
}

}  // namespace
