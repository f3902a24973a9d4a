#include "run/spawn.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "screen/reaper.hpp"
#include "shell/scratch.hpp"

namespace {

using namespace nk::main;
using namespace std::chrono_literals;

// A signal blocked in the shell is not blocked in the child.
TEST(Spawn, RecordsExitCodesSignalsAndFilesThatCannotRunAndPassesArgumentsUnsplit) {
  const std::tuple<std::string, std::vector<std::string>, int> cases[] = {
      {"/usr/bin/sh", {"-c", "exit 255"}, 255},
      {"/usr/bin/sh", {"-c", "kill -USR1 $$; exit 7"}, 128 + SIGUSR1},
      {"/usr/bin/sh",
       {"-c", R"(test $# = 3 && test "$1" = "a b" && test -z "$2" && test "$3" = c)", "sh", "a b",
        "", "c"},
       0},
      {"/etc/passwd", {}, Cannot_Run},  // not executable
      {"/nonexistent/program", {}, No_Process},
  };
  sigset_t blocked, old_mask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &old_mask), 0);
  for (const auto& [program, arguments, expected] : cases)
    EXPECT_EQ(Run_Program(program, arguments), expected)
        << (arguments.empty() ? program : arguments[1]);
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

// The sampler's run: on /dev/null, in the folder given, its own group, killed past its limit.
using Bounded = nk::shell::Scratch_Test;

TEST_F(Bounded, ARunIsDetachedAndEndsWithinItsLimit) {
  // Our own input a pipe for the while: what the child has must not be inherited.
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  const int saved_input = ::dup(STDIN_FILENO);
  ::dup2(pipe_ends[0], STDIN_FILENO);
  const auto child = Start_Bounded(
      "/bin/sh",
      {"-c", "{ readlink /proc/$$/fd/0 /proc/$$/fd/2; pwd -P; cut -d' ' -f5 /proc/$$/stat; } >out"},
      root_);
  ::dup2(saved_input, STDIN_FILENO);
  for (const int fd : {saved_input, pipe_ends[0], pipe_ends[1]}) ::close(fd);
  ASSERT_TRUE(child && Wait_Within(*child, 10s));
  std::ostringstream out;
  out << std::ifstream(root_ + "/out").rdbuf();
  EXPECT_EQ(out.str(), "/dev/null\n/dev/null\n" + root_ + "\n" + std::to_string(child->Pid) + "\n");

  const auto hanging = Start_Bounded("/bin/sh", {"-c", "sleep 1000"}, root_);
  ASSERT_TRUE(hanging);
  EXPECT_FALSE(Wait_Within(*hanging, 50ms));
  Kill_Group(*hanging);
  EXPECT_TRUE(Wait_Within(*hanging, 10s));
  EXPECT_FALSE(Start_Bounded("/bin/sh", {"-c", "true"}, root_ + "/missing"));
}

// A child handed over is reaped once it ends; one that never ends does not hold the reaper.
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
    for (int look = 0; look < 1000 && std::filesystem::exists(entry); ++look)
      std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(std::filesystem::exists(entry));
  }
  ::kill(lives, SIGKILL);
  EXPECT_EQ(::waitpid(lives, nullptr, 0), lives);
}

}  // namespace
