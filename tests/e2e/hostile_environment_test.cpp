// What the world may do to nelk: only frames on screen, modes back, nothing left running.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(HostileEnvironment, TheSamplerNeitherWritesOnTheScreenNorHoldsItUp) {
  // Starts in HOME (7.0), complains, and hangs once told to, noting each hung run.
  const std::string script =
      "#!/bin/sh\necho complaint >&2\n[ -e \"$HOME/hang\" ] && echo >>\"$HOME/runs\" && "
      "exec sleep 1000\n[ \"$(pwd -P)\" = \"$HOME\" ] && echo 7.0 || echo 9.0\n";
  Pty_Session session({.Cpu_Script = script});
  const auto quiet = [&] {
    const Frame frame = session.Wait_For_Frame();
    return frame.Before + "[" + frame.Usage + "]";
  };
  EXPECT_EQ(quiet(), "[  7.0%]");
  fs::remove(session.Tree.Work());  // nelk's own folder is gone
  for (int k = 0; k < 3; ++k) EXPECT_EQ(quiet(), "[  7.0%]");
  session.Tree.Write_File("../home/hang", "");
  // One redraw waits for the hung sampler and kills it; the keys after it wait for no run.
  std::string typed;
  for (const char key : std::string("echo 1")) {
    session.Write(std::string(1, key));
    session.Wait_For("$ " + (typed += key));
  }
  EXPECT_EQ(quiet(), "[  7.0%]");
  const auto runs = session.Tree.Read_File("../home/runs").value_or("");
  EXPECT_TRUE(runs.size() == 1 || runs.size() == 2) << "a second only if its rest ran out";
  ASSERT_EQ(::kill(session.Pid, SIGTERM), 0);
  EXPECT_EQ(session.Ended(), 128 + SIGTERM);
}

TEST(HostileEnvironment, ATotalLockedByAnotherProcessShowsTheLastTotal) {
  Pty_Session session;
  EXPECT_EQ(session.Run_Line("+5"), "");
  const std::string file = session.Tree.Work() + "/nk.shared.total_sum";
  const int held = ::open(file.c_str(), O_RDWR);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ASSERT_EQ(::pwrite(held, "\xbc\x02\0\0", 4, 0), 4);  // 7.00, not to be read yet
  session.Write("x");
  EXPECT_EQ(session.Wait_For_Frame().Total, " 5.00");
  ::flock(held, LOCK_UN);
  session.Write("y");
  EXPECT_EQ(session.Wait_For_Frame().Total, " 7.00");
  // Damaged, then locked: what was shown before the damage is no total to show again.
  ASSERT_EQ(::ftruncate(held, 2), 0);
  session.Write("z");
  session.Wait_For(": ?.??$ xyz");
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  session.Write("w");
  session.Wait_For(": ?.??$ xyzw");
  ::close(held);
}

TEST(HostileEnvironment, AStopAtThePromptGivesTheModesBackUntilContinued) {
  // A parent in the same session runs nelk as a job, as a login shell would.
  Pty_Session session(
      {.Program = "/bin/sh", .Arguments = {"-c", "set -m; \"$0\"; read x; fg", NELK_BINARY}});
  const auto children = Processes(1, std::to_string(session.Pid));
  ASSERT_EQ(children.size(), 1u);
  const pid_t nelk = std::stoi(children[0]);
  ASSERT_EQ(::kill(nelk, SIGTSTP), 0);
  const auto stopped = [&] { return std::ranges::count(Processes(0, "T"), children[0]) == 1; };
  ASSERT_TRUE(session.Wait_Until(stopped, "the stop"));
  EXPECT_TRUE(session.Modes_Restored());
  session.Write("\n");  // read x; fg
  EXPECT_EQ(session.Wait_For_Frame().Usage, "  1.0%");
  EXPECT_EQ(session.Modes().c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(session.Run_Line("echo back"), "back\r\n");
  session.Write("\x1b\x1b");
  EXPECT_EQ(session.Ended(), 0);
}

// Every limit up to one that lets the shell run (so one that stops a background thread
// too): the cause in one line, never an abort.
TEST(HostileEnvironment, TooFewThreadsEndTheStartInOneLine) {
  if (::geteuid() == 0) GTEST_SKIP() << "root starts threads past any limit";
  const Temp_Tree tree;
  int failed = 0;
  for (long limit = 1; limit < 100; ++limit) {
    SCOPED_TRACE(limit);
    const auto run = Run_Piped(tree, {.Limits = {{RLIMIT_NPROC, limit}}});
    if (run.Exit() == 0) break;
    ++failed;
    EXPECT_EQ(run.Output, "Greetings tester!\nError: Resource temporarily unavailable\n");
    ASSERT_EQ(run.Exit(), 1);
  }
  EXPECT_GT(failed, 0);
  EXPECT_LT(failed, 99) << "the shell never started";
}

// On a 64 KiB stack, braces nested about as deep as a pattern may nest them.
TEST(HostileEnvironment, DeepBracesAreCompletedOnASmallStack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own frames do not fit in 64 KiB";
#endif
  Pty_Session session({.Limits = {{RLIMIT_STACK, 64 * 1024}}});
  session.Tree.Write_File("abc", "");
  session.Write("ls " + std::string(60, '{') + "a" + std::string(60, '}') + "\t");
  session.Wait_For("$ ls " + session.Tree.Work() + "/abc");
  session.Write("\x1b\x1b");
  EXPECT_EQ(session.Ended(), 0);
}

TEST(HostileEnvironment, AFullOrClosedOutputPipeEndsInOrder) {
  for (const bool full : {true, false}) {
#ifdef __SANITIZE_THREAD__
    // ThreadSanitizer holds a signal caught in a write back until the write returns: never.
    if (full) continue;
#endif
    // The terminal as input and a pipe as output, as in `nelk | reader`.
    const Temp_Tree tree;
    int master = -1, slave = -1, ends[2];
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr) | ::pipe2(ends, O_CLOEXEC), 0);
    termios initial{}, now{};
    ::tcgetattr(slave, &initial);
    Child run;
    run.Start({}, tree, slave, ends[1]);
    ::fcntl(run.Fd = ends[0], F_SETFL, O_NONBLOCK);
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (run.Screen.find("$ ") == std::string::npos) ASSERT_TRUE(run.Pump(end)) << run.Screen;
    // Filled through a description of its own: nelk's writes must still block.
    const int filler = ::open(("/proc/self/fd/" + std::to_string(ends[1])).c_str(),
                              O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    while (full && ::write(filler, "x", 1) == 1) {
    }
    ::close(filler);
    if (!full) ::close(std::exchange(run.Fd, -1));
    [[maybe_unused]] const auto typed = ::write(master, "a", 1);  // its frame cannot go
    std::this_thread::sleep_for(100ms);
    if (full) ::kill(run.Pid, SIGTERM);
    for (int look = 0; look < 2000 && run.Running(); ++look) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(run.Shell_Status(), 128 + (full ? SIGTERM : SIGPIPE));
    ::tcgetattr(slave, &now);
    EXPECT_TRUE(now.c_lflag == initial.c_lflag && now.c_iflag == initial.c_iflag);
    EXPECT_EQ(Left_In(run.Pid), std::vector<std::string>{});
    run.Stop();
    ::close(master), ::close(slave), ::close(ends[1]);
  }
}

// The command's own output goes where the frames go: nowhere, and without complaint.
TEST(HostileEnvironment, ClosedStandardDescriptorsAreOpenedOnNull) {
  const Temp_Tree tree;
  for (const auto& [redirection, input, start] :
       {std::tuple{"<&-", "", "Greetings tester!\n"}, {">&-", "echo hi\n", ""}}) {
    const std::vector<std::string> sh{"-c", std::string("exec \"$0\" ") + redirection, NELK_BINARY};
    const auto run = Run_Piped(tree, {.Program = "/bin/sh", .Arguments = sh}, input);
    EXPECT_EQ(run.Exit(), 0) << redirection;
    EXPECT_EQ(run.Output.substr(0, 18), start) << redirection;
  }
}

}  // namespace
}  // namespace nk::pty_test
