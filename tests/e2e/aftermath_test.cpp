// What programs and the terminal do to a session; modes after one: interactive_terminal_test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(Aftermath, AHangUpDuringACommandEndsItAndTheSession) {
  Pty_Session session;
  session.Write("sleep 1007\r");
  const auto sleeping = [&] {
    std::string name;
    for (const auto& pid : Processes(3, std::to_string(session.Pid)))
      if (std::getline(std::ifstream("/proc/" + pid + "/comm"), name) && name == "sleep")
        return true;
    return false;
  };
  ASSERT_TRUE(session.Wait_Until(sleeping, "the command's start"));
  ::close(std::exchange(session.Fd, -1));  // the terminal window closes
  session.Wait_Exit();
  EXPECT_EQ(Left_In(session.Pid), std::vector<std::string>{}) << "the command outlived nelk";
}

TEST(Aftermath, AKilledInteractiveShellLeavesTheNextLineWorking) {
  Pty_Session session;
  session.Write("bash --norc --noprofile -i\r");
  session.Wait_For("\r\n");
  // Job control on: it put itself in a process group of its own, the foreground.
  ASSERT_TRUE(session.Wait_Until([&] { return ::tcgetpgrp(session.Fd) != session.Pid; },
                                 "bash holding the foreground"));
  session.Write("kill -9 $$\r");
  session.Wait_For_Frame();
  EXPECT_EQ(session.Run_Line("echo after"), "after\r\n");
}

// A program left the terminal (shared with nelk) non-blocking and the reader stalls: nelk's
// own output, a long listing, still arrives whole, and so does every message after it.
TEST(Aftermath, NonBlockingOutputLosesNoByte) {
  Pty_Session session({.Columns = 200});
  for (int k = 0; k < 3000; ++k) session.Tree.Write_File("file" + std::to_string(100000 + k), "");
  // In the background, after nelk cleared the flag behind the program that started it.
  session.Write(
      "sh -c '(sleep 0.2; perl -MFcntl -e \"fcntl(STDOUT, F_SETFL, O_NONBLOCK)\"; touch set) "
      "&'\r");
  ASSERT_TRUE(session.Wait_Until([&] { return session.Tree.Read_File("set").has_value(); },
                                 "O_NONBLOCK set"));
  session.Write("file\t");
  ::sleep(1);  // the reader stalls, the terminal's queue fills
  for (int k = 0; k < 3000; ++k) session.Wait_For("/work/file1");  // every name
  session.Write("\x7f\x7f\x7f\x7fnone\r");
  session.Wait_For("\r\nCommand not found\r\n");
}

TEST(Aftermath, ControlLWithoutClearComplainsOnARowOfItsOwn) {
  Pty_Session session({.Environment = {"PATH=/nowhere"}});
  session.Write("abc\f");
  const std::string before = session.Wait_For_Frame().Before;
  EXPECT_TRUE(before.starts_with("\r\x1b[K") && before.ends_with("\r\n" + Row_Guard(80))) << before;
  EXPECT_NE(before.find("clear"), std::string::npos) << before;
  EXPECT_EQ(session.Wait_For("abc"), "") << "the line stays";
  // The raw wait status of a command the interpreter could not find.
  EXPECT_EQ(session.Run_Line("\x7f\x7f\x7fset v=1"), "Error: errno =  32512\r\n");
}

}  // namespace
}  // namespace nk::pty_test
