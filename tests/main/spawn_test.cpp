#include "main/spawn.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct Status_Case {
  const char* Script;
  int Expected;
};

TEST(Spawn, RecordsExitCodesAndSignals) {
  const Status_Case cases[] = {
      {"exit 0", 0},
      {"exit 3", 3},
      {"exit 255", 255},
      {"kill -TERM $$", 128 + SIGTERM},
      {"kill -KILL $$", 128 + SIGKILL},
      {"kill -SEGV $$", 128 + SIGSEGV},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(nk::main::Run_Program("/usr/bin/sh", {"-c", c.Script}), c.Expected) << c.Script;
  }
}

TEST(Spawn, FilesThatCannotRunAreNeverSuccess) {
  char pattern[] = "/tmp/nk-spawn-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string directory = pattern;
  const std::string plain = directory + "/plain";
  std::ofstream(plain) << "echo hi\n";
  ::chmod(plain.c_str(), 0644);

  EXPECT_EQ(nk::main::Run_Program(plain, {}), nk::main::Cannot_Run);
  EXPECT_EQ(nk::main::Run_Program(directory, {}), nk::main::Cannot_Run);
  EXPECT_EQ(nk::main::Run_Program(directory + "/missing", {}), nk::main::No_Process);

  ::unlink(plain.c_str());
  ::rmdir(directory.c_str());
}

// The shell ignores SIGINT and blocks nothing on purpose, but a child must never inherit
// an ignored or blocked signal, or Control-C could not stop it.
TEST(Spawn, ChildStartsWithDefaultSignals) {
  struct sigaction ignore {};
  struct sigaction old_interrupt {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ASSERT_EQ(::sigaction(SIGINT, &ignore, &old_interrupt), 0);
  sigset_t term;
  sigset_t old_mask;
  sigemptyset(&term);
  sigaddset(&term, SIGUSR1);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &term, &old_mask), 0);

  const int interrupted = nk::main::Run_Program("/usr/bin/sh", {"-c", "kill -INT $$; exit 7"});
  const int user_signal = nk::main::Run_Program("/usr/bin/sh", {"-c", "kill -USR1 $$; exit 7"});

  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  ::sigaction(SIGINT, &old_interrupt, nullptr);
  EXPECT_EQ(interrupted, 128 + SIGINT);
  EXPECT_EQ(user_signal, 128 + SIGUSR1);
}

TEST(Spawn, ArgumentsArriveUnsplit) {
  char pattern[] = "/tmp/nk-spawn-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string out = std::string(pattern) + "/out";
  const int status = nk::main::Run_Program(
      "/usr/bin/sh", {"-c", "printf '[%s]' \"$@\" > \"$0\"", out, "a b", "", "c"});
  EXPECT_EQ(status, 0);
  std::ifstream file(out);
  const std::string written((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(written, "[a b][][c]");
  ::unlink(out.c_str());
  ::rmdir(pattern);
}

}  // namespace
