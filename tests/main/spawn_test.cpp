#include "run/spawn.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using nk::main::Run_Program;

// Other codes, SIGTERM and arguments with blanks: tests/e2e/interactive_commands_test.cpp.
TEST(Spawn, RecordsExitCodesSignalsAndPassesArgumentsUnsplit) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"-c", "exit 255"}, 255},
      {{"-c", "kill -SEGV $$"}, 128 + SIGSEGV},
      {{"-c", R"(test $# = 3 && test "$1" = "a b" && test -z "$2" && test "$3" = c)", "sh", "a b",
        "", "c"},
       0},
  };
  for (const auto& [arguments, expected] : cases) {
    EXPECT_EQ(Run_Program("/usr/bin/sh", arguments), expected) << arguments[1];
  }
}

TEST(Spawn, FilesThatCannotRunAreNeverSuccess) {
  std::string pattern = (std::filesystem::temp_directory_path() / "nk-spawn-XXXXXX").string();
  const std::string directory = ::mkdtemp(pattern.data());
  std::ofstream(directory + "/plain") << "echo hi\n";  // not executable
  EXPECT_EQ(Run_Program(directory + "/plain", {}), nk::main::Cannot_Run);
  EXPECT_EQ(Run_Program(directory + "/missing", {}), nk::main::No_Process);
  std::filesystem::remove_all(directory);
}

// The shell ignores SIGINT and blocks nothing on purpose, but a child must never inherit
// an ignored or blocked signal, or Control-C could not stop it.
TEST(Spawn, ChildStartsWithDefaultSignals) {
  const auto old_interrupt = ::signal(SIGINT, SIG_IGN);
  ASSERT_NE(old_interrupt, SIG_ERR);
  sigset_t blocked;
  sigset_t old_mask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &old_mask), 0);
  const int interrupted = Run_Program("/usr/bin/sh", {"-c", "kill -INT $$; exit 7"});
  const int user_signal = Run_Program("/usr/bin/sh", {"-c", "kill -USR1 $$; exit 7"});
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  ::signal(SIGINT, old_interrupt);
  EXPECT_EQ(interrupted, 128 + SIGINT);
  EXPECT_EQ(user_signal, 128 + SIGUSR1);
}

}  // namespace

namespace {

using nk::main::Bounded_End;
using nk::main::Run_Bounded;
using namespace std::chrono_literals;

std::atomic<pid_t> noted_group{-1};

// The sampler's run: input and error on /dev/null, in the folder given, leading a group of
// its own; past the limit it is killed.
TEST(Spawn, ABoundedRunIsDetachedAndEndsWithinItsLimit) {
  std::string pattern = (std::filesystem::temp_directory_path() / "nk-bounded-XXXXXX").string();
  const std::string folder = ::mkdtemp(pattern.data());
  const auto note = [](pid_t group) { noted_group = group; };
  // Our own input a pipe for the while: what the child has must not be inherited.
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  const int saved_input = ::dup(STDIN_FILENO);
  ::dup2(pipe_ends[0], STDIN_FILENO);
  EXPECT_EQ(Run_Bounded("/bin/sh",
                        {"-c",
                         "readlink /proc/$$/fd/0 /proc/$$/fd/2 >out; pwd -P >>out; "
                         "cut -d' ' -f5 /proc/$$/stat >>out; echo $$ >>out"},
                        {folder, 10s}, note),
            Bounded_End::ENDED);
  ::dup2(saved_input, STDIN_FILENO);
  for (const int fd : {saved_input, pipe_ends[0], pipe_ends[1]}) ::close(fd);
  std::ifstream out(folder + "/out");
  std::string input, error, where, group, pid;
  std::getline(out, input) >> error >> where >> group >> pid;
  EXPECT_EQ(input, "/dev/null");
  EXPECT_EQ(error, "/dev/null");
  EXPECT_EQ(where, folder);
  EXPECT_EQ(group, pid);
  EXPECT_EQ(noted_group, 0) << "told again once it ended";

  // Killing its whole group: tests/e2e/hostile_environment_test.cpp.
  EXPECT_EQ(Run_Bounded("/bin/sh", {"-c", "sleep 1000"}, {folder, 50ms}), Bounded_End::KILLED);
  EXPECT_EQ(Run_Bounded("/bin/sh", {"-c", "true"}, {folder + "/missing", 10s}),
            Bounded_End::NOT_STARTED);
  std::filesystem::remove_all(folder);
}

}  // namespace
