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

bool Is_Raw(const termios& modes) {
  return (modes.c_lflag & (ECHO | ICANON | ISIG)) == 0 && modes.c_cc[VMIN] == 1 &&
         modes.c_cc[VTIME] == 0;
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

// Piped input is read as it comes (raw mode does nothing on a pipe) to its end, or until a
// termination signal, which is then named.
TEST(Tty, PipedInputEndsAtItsEndOrOnATerminationSignal) {
  for (const int signal_number : {0, SIGTERM, SIGHUP}) {
    const int status = In_Child([signal_number] {
      const std::string data = signal_number == 0 ? "a\x1b\xc3" : "";
      int fds[2];
      if (::pipe(fds) != 0 || ::write(fds[1], data.data(), data.size()) != std::ssize(data)) {
        return 2;
      }
      if (signal_number == 0) {
        ::close(fds[1]);  // else open and empty: a read would block
      }
      ::dup2(fds[0], STDIN_FILENO);
      tty::Install();
      const tty::Key_Loop_Signals signals;
      const tty::Raw_Mode raw;
      if (signal_number != 0) {
        ::raise(signal_number);
      }
      std::string read;
      while (const auto byte = tty::Read_Byte()) {
        read += static_cast<char>(*byte);
      }
      return read == data && tty::Termination_Signal() == signal_number ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal_number;
  }
}

// Typed-ahead keys survive raw mode; children run cooked, ignoring Control-C and
// Control-\, but only while raw mode is held.
TEST(Tty, RawOnlyWhileHeldAndCookedAroundChildren) {
  Pty pty;
  ASSERT_FALSE(Is_Raw(pty.Initial));
  ASSERT_EQ(::write(pty.Master, "xy", 2), 2);
  const int status = In_Child([&pty] {
    ::dup2(pty.Slave, STDIN_FILENO);
    tty::Install();
    termios modes{};
    struct sigaction interrupt {};
    struct sigaction quit {};
    int failures = 0;
    {
      const tty::Raw_Mode raw;
      ::tcgetattr(STDIN_FILENO, &modes);
      failures += Is_Raw(modes) && modes.c_oflag == pty.Initial.c_oflag ? 0 : 1;
      const auto x = tty::Read_Byte();
      const auto y = tty::Read_Byte();
      failures += x == 'x' && y == 'y' ? 0 : 128;
      {
        const tty::Cooked_Mode cooked;
        ::tcgetattr(STDIN_FILENO, &modes);
        failures += Same_Modes(modes, pty.Initial) ? 0 : 2;
        ::sigaction(SIGINT, nullptr, &interrupt);
        ::sigaction(SIGQUIT, nullptr, &quit);
        failures += interrupt.sa_handler == SIG_IGN && quit.sa_handler == SIG_IGN ? 0 : 4;
      }
      ::tcgetattr(STDIN_FILENO, &modes);
      failures += Is_Raw(modes) ? 0 : 8;
      ::sigaction(SIGINT, nullptr, &interrupt);
      failures += interrupt.sa_handler == SIG_DFL ? 0 : 16;
    }
    ::tcgetattr(STDIN_FILENO, &modes);
    failures += Same_Modes(modes, pty.Initial) ? 0 : 32;
    {
      const tty::Cooked_Mode cooked;  // without raw mode held, the modes stay as they are
    }
    ::tcgetattr(STDIN_FILENO, &modes);
    failures += Same_Modes(modes, pty.Initial) ? 0 : 64;
    return failures;
  });
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failure bits";
}

// Every way out gives the start-up modes back: normal exit while raw, fatal signals, and
// termination signals outside the key loop.
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
