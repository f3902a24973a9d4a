// Ending signals in every state, a sample that is no regular file, a failed total write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(Reliability, TerminationSignalsEndEveryStateWithModesRestored) {
  enum State { STARTUP_BLOCKED_ON_PIPE, KEY_LOOP, COMMAND_RUNNING };
  for (const State state : {STARTUP_BLOCKED_ON_PIPE, KEY_LOOP, COMMAND_RUNNING}) {
    // At the prompt, every signal whose default ends a process; elsewhere hang-up and TERM.
    const std::vector<int> all = {SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE,
                                  SIGALRM, SIGTERM, SIGUSR1, SIGUSR2};
    for (const int signal_number : state == KEY_LOOP ? all : std::vector{SIGTERM, SIGHUP}) {
      SCOPED_TRACE(testing::Message() << "state " << state << ", signal " << signal_number);
      const Temp_Tree elsewhere;  // the pipe must exist before the program starts
      const std::string pipe = elsewhere.Work() + "/pipe";
      ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
#ifdef __SANITIZE_THREAD__
      // ThreadSanitizer holds a signal caught in this open back until it returns: never.
      if (state == STARTUP_BLOCKED_ON_PIPE) continue;
#endif
      Session_Options options;
      if (state == STARTUP_BLOCKED_ON_PIPE)
        options = {.Arguments = {"-F", pipe}, .Wait_For_Start = false};
      Pty_Session session(options);
      if (state == STARTUP_BLOCKED_ON_PIPE) {
        ASSERT_TRUE(session.Wait_Until(
            [&] {  // the kernel's name for what it waits in
              std::ifstream file("/proc/" + std::to_string(session.Pid) + "/wchan");
              return std::string(std::istreambuf_iterator<char>(file), {}) == "wait_for_partner";
            },
            "the blocked open"));
      }
      if (state == COMMAND_RUNNING) {
        session.Write("sleep 2; echo fin\"\"ished\r");  // its echo is no "finished"
        ASSERT_TRUE(session.Wait_Until([&] { return (session.Modes().c_lflag & ICANON) != 0; },
                                       "cooked modes: the command has started"));
      }
      ASSERT_EQ(::kill(session.Pid, signal_number), 0);
      // SIGTERM waits for the command; a hang-up is passed on to it, as a shell does.
      if (state == COMMAND_RUNNING && signal_number == SIGTERM) session.Wait_For("finished\r\n");
      EXPECT_EQ(session.Ended(), 128 + signal_number);
      EXPECT_TRUE(state != KEY_LOOP || session.Screen.ends_with("$ \r\n")) << "row ended";
    }
  }
}

TEST(Reliability, ASampleFileThatIsNotARegularFileTakesNoSample) {
  Pty_Session session({.Wait_For_Start = false});
  ASSERT_EQ(::mkfifo((session.Tree.Home() + "/.cpu_usage.txt").c_str(), 0600), 0);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(session.Wait_For_Frame().Usage, "      ");
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

TEST(Reliability, AFailedWriteOfATotalLineLeavesTheShellRunning) {
  const std::string old("\xd2\x04\x00\x00", 4);  // 12.34
  Pty_Session session({.Limits = {{RLIMIT_FSIZE, 0}}});
  // As another process would, after the first frame.
  session.Tree.Write_File("nk.shared.total_sum", old);
  EXPECT_EQ(session.Run_Line("+5"), "nk.shared.total_sum: cannot write: File too large\r\n");
  EXPECT_EQ(session.Wait_For_Frame().Total, " 12.34") << "the old bytes, read by a redraw";
  // The line stays for another try, as after a typing mistake, which still reads "-: error".
  EXPECT_EQ(session.Run_Line("x"), "-: error\r\n");
  EXPECT_EQ(session.Run_Line("\x7f\x7f\x7f"
                             "echo alive"),
            "alive\r\n");
}

}  // namespace
}  // namespace nk::pty_test
