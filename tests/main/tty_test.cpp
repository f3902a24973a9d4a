#include "terminal/tty.hpp"

#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>

namespace {

namespace tty = nk::main::tty;

// Runs `body` in a child process (the unit keeps process-wide state: saved modes,
// handlers, the pipe) and returns its wait status. The child exits with body's result.
int In_Child(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

bool Same_Modes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         a.c_cflag == b.c_cflag && a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

// A pseudo-terminal whose slave the child uses as standard input.
struct Pty {
  Pty() {
    ::openpty(&Master, &Slave, nullptr, nullptr, nullptr);
    ::tcgetattr(Slave, &Initial);
  }
  ~Pty() {
    ::close(Master);
    ::close(Slave);
  }
  int Master = -1;
  int Slave = -1;
  termios Initial{};
};

// Every way out gives the start-up modes back: normal exit while raw, fatal signals, and
// termination signals outside the key loop. The running program meets these ways in
// the end-to-end tests, all but the crashes.
TEST(Tty, EveryWayOutRestoresTheStartUpModes) {
  for (const int how : {0, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGTERM, SIGHUP}) {
    Pty pty;
    const int status = In_Child([&pty, how] {
      ::dup2(pty.Slave, STDIN_FILENO);
      tty::Install();
      // Never destroyed (and not leaked): only the exit path may restore.
      alignas(tty::Raw_Mode) static unsigned char storage[sizeof(tty::Raw_Mode)];
      new (storage) tty::Raw_Mode;
      if (how != 0) {
        ::raise(how);
      }
      std::exit(0);
      return 0;
    });
    termios after{};
    ::tcgetattr(pty.Slave, &after);
    EXPECT_TRUE(Same_Modes(after, pty.Initial)) << "way out " << how;
    EXPECT_TRUE(how == 0 ? WIFEXITED(status) && WEXITSTATUS(status) == 0
                         : WIFSIGNALED(status) && WTERMSIG(status) == how)
        << "way out " << how;
  }
}

}  // namespace
