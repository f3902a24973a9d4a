// Termination signals in every state, a sample file that is not a regular file, and a
// failed write of the total from the shell (the one-shot cases are in oneshot_test).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

const std::string Total_File = "nk.shared.total_sum";

// The status as a shell reports it: the exit code, or 128+N after signal N.
int Shell_Status(int wait_status) {
  return WIFSIGNALED(wait_status) ? 128 + WTERMSIG(wait_status) : WEXITSTATUS(wait_status);
}

std::string Read_Proc(pid_t pid, const char* what) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/" + what);
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

enum class State { STARTUP_BLOCKED_ON_PIPE, KEY_LOOP, COMMAND_RUNNING };

// Brings a session into `state`; false when it never got there.
bool Enter_State(Pty_Session& session, State state) {
  switch (state) {
    case State::STARTUP_BLOCKED_ON_PIPE:
      // The kernel's name for an open of a pipe waiting for its other end.
      return session.Wait_Until(
          [&] { return Read_Proc(session.Pid, "wchan") == "wait_for_partner"; });
    case State::KEY_LOOP:
      return session.Wait_For_Frame().has_value();
    case State::COMMAND_RUNNING:
      if (!session.Wait_For_Frame()) return false;
      session.Write("sleep 2; echo finished\r");
      // Cooked modes: the command has started.
      return session.Wait_Until([&] { return (session.Modes().c_lflag & ICANON) != 0; });
  }
  return false;
}

TEST(Reliability, TerminationSignalsEndEveryStateWithModesRestored) {
  for (const auto state :
       {State::STARTUP_BLOCKED_ON_PIPE, State::KEY_LOOP, State::COMMAND_RUNNING}) {
    for (const int signal_number : {SIGTERM, SIGHUP}) {
      SCOPED_TRACE(testing::Message()
                   << "state " << static_cast<int>(state) << ", signal " << signal_number);
      const Temp_Tree elsewhere;  // the pipe must exist before the program starts
      const std::string pipe = elsewhere.Work() + "/pipe";
      ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
      Session_Options options;
      if (state == State::STARTUP_BLOCKED_ON_PIPE) options.Arguments = {"-F", pipe};
#ifdef __SANITIZE_THREAD__
      // ThreadSanitizer holds back a signal caught inside a system call it does not know
      // to block, as this open is, until the call returns: which it never does here.
      if (state == State::STARTUP_BLOCKED_ON_PIPE) continue;
#endif
      Pty_Session session(options);
      ASSERT_TRUE(Enter_State(session, state)) << session.Unread();
      ASSERT_EQ(::kill(session.Pid, signal_number), 0);
      if (state == State::COMMAND_RUNNING) {
        // The command is not interrupted: the program ends once it has.
        EXPECT_TRUE(session.Wait_For("finished\r\n")) << session.Unread();
      }
      const auto status = session.Wait_Exit();
      ASSERT_TRUE(status) << "did not end";
      EXPECT_EQ(Shell_Status(*status), 128 + signal_number);
      EXPECT_TRUE(session.Modes_Restored());
    }
  }
}

TEST(Reliability, ASampleFileThatIsNotARegularFileTakesNoSample) {
  Pty_Session session;
  ASSERT_EQ(::mkfifo((session.Tree().Home() + "/.cpu_usage.txt").c_str(), 0600), 0);
  for (int k = 0; k < 3; ++k) {
    const auto frame = session.Wait_For_Frame();
    ASSERT_TRUE(frame) << session.Unread();
    EXPECT_EQ(frame->Usage, "      ");
  }
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

TEST(Reliability, AFailedWriteOfATotalLineLeavesTheShellRunning) {
  const std::string old("\xd2\x04\x00\x00", 4);  // 12.34
  Pty_Session session({.File_Size_Limit = 0});
  session.Tree().Write_File(Total_File, old);
  ASSERT_TRUE(session.Wait_For_Frame());
  EXPECT_EQ(session.Run_Line("+5"), "nk.shared.total_sum: cannot write: File too large\r\n");
  const auto frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->Total, " 12.34");
  EXPECT_EQ(session.Tree().Read_File(Total_File), old);
  // The line stays for another try, as after a typing mistake, which still reads "-: error".
  EXPECT_EQ(session.Run_Line("x"), "-: error\r\n");
  session.Write("\x7f\x7f\x7f");
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

}  // namespace
}  // namespace nk::pty_test
