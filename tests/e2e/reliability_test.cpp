// Termination signals in every state, total and sample files that are not regular files,
// and writes to the total file that fail.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

namespace fs = std::filesystem;

const std::string Total_File = "nk.shared.total_sum";
const std::string Not_Regular = "nk.shared.total_sum: not a regular file\n";

std::string Bytes_Of(std::int32_t count) {
  const auto bits = static_cast<std::uint32_t>(count);
  return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
          static_cast<char>(bits >> 24)};
}

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

// Makes `path` a file of `kind`; false when it cannot.
bool Make(const std::string& path, const std::string& kind) {
  if (kind == "pipe") return ::mkfifo(path.c_str(), 0600) == 0;
  if (kind == "directory") return ::mkdir(path.c_str(), 0700) == 0;
  if (kind == "device link") return ::symlink("/dev/null", path.c_str()) == 0;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

TEST(Reliability, ATotalFileThatIsNotARegularFileIsReportedAndLeftAlone) {
  Temp_Tree tree;
  const std::string path = tree.Work() + "/" + Total_File;
  for (const std::string kind : {"pipe", "directory", "socket", "device link"}) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-t"}, {"-i", "1"}, {"-a", "1"}, {"-r", "1"}}) {
      SCOPED_TRACE(kind + " " + arguments[0]);
      fs::remove_all(path);
      ASSERT_TRUE(Make(path, kind));
      const auto before = fs::symlink_status(path).type();
      const auto run = Run_Piped(tree, {.Term = std::nullopt, .Arguments = arguments});
      EXPECT_EQ(run.Output, Not_Regular);
      EXPECT_EQ(run.Exit(), 1);
      EXPECT_EQ(fs::symlink_status(path).type(), before);
    }
  }
  fs::remove_all(path);
  tree.Write_File("real", Bytes_Of(700));
  fs::create_symlink("real", path);
  EXPECT_EQ(Run_Piped(tree, {.Term = std::nullopt, .Arguments = {"-a", "2"}}).Exit(), 0);
  EXPECT_EQ(tree.Read_File("real"), Bytes_Of(900)) << "a link to a regular file works";
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

struct Write_Case {
  long Limit;                          // bytes the file may grow to
  std::vector<std::string> Arguments;  // the one-shot run
  std::optional<std::string> Before;   // the total file; nullopt: none
};

TEST(Reliability, AFailedWriteKeepsTheOldTotalAndSaysWhy) {
  const auto old = Bytes_Of(1234);
  // Limit 2 lets the first write through halfway: the old bytes must be put back.
  const Write_Case cases[] = {
      {0, {"-a", "1"}, old}, {0, {"-i", "5"}, old},
      {0, {"-r", "1"}, old}, {0, {"-i", "5"}, std::nullopt},  // no empty file is left
      {2, {"-a", "1"}, old}, {2, {"-i", "5"}, old + "tail"},
  };
  Temp_Tree tree;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Limit) + " " + c.Arguments[0]);
    fs::remove(tree.Work() + "/" + Total_File);
    if (c.Before) tree.Write_File(Total_File, *c.Before);
    const auto run = Run_Piped(
        tree, {.Term = std::nullopt, .Arguments = c.Arguments, .File_Size_Limit = c.Limit});
    EXPECT_EQ(run.Output, "nk.shared.total_sum: cannot write: File too large\n");
    EXPECT_EQ(run.Exit(), 1);
    EXPECT_EQ(tree.Read_File(Total_File), c.Before);
  }
}

TEST(Reliability, AFailedWriteOfATotalLineLeavesTheShellRunning) {
  Pty_Session session({.File_Size_Limit = 0});
  session.Tree().Write_File(Total_File, Bytes_Of(1234));
  ASSERT_TRUE(session.Wait_For_Frame());
  EXPECT_EQ(session.Run_Line("+5"), "nk.shared.total_sum: cannot write: File too large\r\n");
  const auto frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->Total, " 12.34");
  EXPECT_EQ(session.Tree().Read_File(Total_File), Bytes_Of(1234));
  // The line stays for another try, as after a typing mistake, which still reads "-: error".
  EXPECT_EQ(session.Run_Line("x"), "-: error\r\n");
  session.Write("\x7f\x7f\x7f");
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

TEST(Reliability, AReadOnlyTotalFileIsReportedWithItsReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes every file";
  Temp_Tree tree;
  tree.Write_File(Total_File, Bytes_Of(1234));
  fs::permissions(tree.Work() + "/" + Total_File, fs::perms::owner_read);
  const auto run = Run_Piped(tree, {.Term = std::nullopt, .Arguments = {"-a", "1"}});
  EXPECT_EQ(run.Output, "nk.shared.total_sum: cannot open: Permission denied\n");
  EXPECT_EQ(run.Exit(), 1);
  EXPECT_EQ(tree.Read_File(Total_File), Bytes_Of(1234));
}

}  // namespace
}  // namespace nk::pty_test
