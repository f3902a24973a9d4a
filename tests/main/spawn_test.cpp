#include "run/spawn.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "screen/reaper.hpp"

namespace {

using namespace nk::main;
using namespace std::chrono_literals;

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
  EXPECT_EQ(Run_Program(directory + "/plain", {}), Cannot_Run);
  EXPECT_EQ(Run_Program(directory + "/missing", {}), No_Process);
  std::filesystem::remove_all(directory);
}

// A signal blocked in the shell must not stay blocked in a child. The shell's ignored
// SIGINT: tests/e2e/interactive_terminal_test.cpp, Control-C stopping cat.
TEST(Spawn, ChildStartsWithNoSignalBlocked) {
  sigset_t blocked;
  sigset_t old_mask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &old_mask), 0);
  const int user_signal = Run_Program("/usr/bin/sh", {"-c", "kill -USR1 $$; exit 7"});
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  EXPECT_EQ(user_signal, 128 + SIGUSR1);
}

// The sampler's run: input and error on /dev/null, in the folder given, leading a group of
// its own, and killed whole past its limit.
TEST(Spawn, ABoundedRunIsDetachedAndEndsWithinItsLimit) {
  std::string pattern = (std::filesystem::temp_directory_path() / "nk-bounded-XXXXXX").string();
  const std::string folder = ::mkdtemp(pattern.data());
  // Our own input a pipe for the while: what the child has must not be inherited.
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  const int saved_input = ::dup(STDIN_FILENO);
  ::dup2(pipe_ends[0], STDIN_FILENO);
  const auto child = Start_Bounded("/bin/sh",
                                   {"-c",
                                    "readlink /proc/$$/fd/0 /proc/$$/fd/2 >out; pwd -P >>out; "
                                    "cut -d' ' -f5 /proc/$$/stat >>out; echo $$ >>out"},
                                   folder);
  ::dup2(saved_input, STDIN_FILENO);
  for (const int fd : {saved_input, pipe_ends[0], pipe_ends[1]}) ::close(fd);
  ASSERT_TRUE(child && Wait_Within(*child, 10s));
  std::ifstream out(folder + "/out");
  std::string input, error, where, group, pid;
  std::getline(out, input) >> error >> where >> group >> pid;
  EXPECT_EQ(input, "/dev/null");
  EXPECT_EQ(error, "/dev/null");
  EXPECT_EQ(where, folder);
  EXPECT_EQ(group, pid);

  const auto hanging = Start_Bounded("/bin/sh", {"-c", "sleep 1000"}, folder);
  ASSERT_TRUE(hanging);
  EXPECT_FALSE(Wait_Within(*hanging, 50ms));
  Kill_Group(*hanging);
  EXPECT_TRUE(Wait_Within(*hanging, 10s));
  EXPECT_FALSE(Start_Bounded("/bin/sh", {"-c", "true"}, folder + "/missing"));
  std::filesystem::remove_all(folder);
}

// A child handed over is reaped once it ends (it would stay a zombie, and in /proc, else);
// one that never ends holds up neither the reaper's end nor anything else.
TEST(Spawn, TheReaperReapsWhatEndsAndEndsAtOnce) {
  auto ending = Start_Bounded("/bin/sh", {"-c", "exec sleep 1000"}, "/");
  auto living = Start_Bounded("/bin/sh", {"-c", "exec sleep 1000"}, "/");
  ASSERT_TRUE(ending && living);
  const std::string entry = "/proc/" + std::to_string(ending->Pid);
  const pid_t lives = living->Pid;
  {
    Reaper reaper;
    Kill_Group(*ending);
    reaper.Adopt(std::move(*ending));
    reaper.Adopt(std::move(*living));
    for (int look = 0; look < 1000 && std::filesystem::exists(entry); ++look) {
      std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(std::filesystem::exists(entry));
  }
  ::kill(lives, SIGKILL);
  EXPECT_EQ(::waitpid(lives, nullptr, 0), lives);
}

}  // namespace
