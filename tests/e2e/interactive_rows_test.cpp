// The rows around the prompt on a terminal. On a pipe, none of it: interactive_terminal_test.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(InteractiveRows, AProgramsOutputKeepsItsRow) {
  Pty_Session session;
  const std::string guard = Row_Guard(80);
  const std::pair<std::string, std::string> cases[] = {
      {"printf partial", "partial" + guard},
      {"echo whole", "whole\r\n" + guard},
      {"set v=1", ""},  // a builtin ends its own rows
      {"printf 'half'; exit 3", "half" + guard + "Error: errno =  3\r\n"}};
  for (const auto& [line, output] : cases) {
    session.Write(line + "\r");
    session.Wait_For("\r\n");
    EXPECT_EQ(session.Wait_For_Frame().Before, output) << line;
  }
}

// Where the terminal re-wraps (tmux here), the rows the last frame was wrapped into are
// cleared first. Which terminals re-wrap: the unit table, and tests/tmux/rows in a real tmux.
TEST(InteractiveRows, ANarrowerWindowClearsTheWrappedRowsWhereTheTerminalRewraps) {
  const std::string line = "echo " + std::string(65, 'a');  // 30 + 70 columns
  Pty_Session session({.Environment = {"TMUX=/tmp/tmux-0/default,1,0"}, .Columns = 120});
  session.Write(line);
  session.Wait_For("$ " + line);
  const winsize narrow{.ws_row = 24, .ws_col = 60, .ws_xpixel = 0, .ws_ypixel = 0};
  ASSERT_EQ(::ioctl(session.Fd, TIOCSWINSZ, &narrow), 0);
  // The clear, then the first frame at the new width.
  const std::regex first_narrow("\r\x1b\\[1A\x1b\\[J\rXTERM:[^\r]*\rXTERM:[^\r]*\\$ <");
  session.Wait_Until([&] { return std::regex_search(session.Unread(), first_narrow); },
                     "the clear");
  EXPECT_EQ(session.Run_Line(""), line.substr(5) + "\r\n") << "the whole line runs";
  // A program that narrows the window leaves rows of its own: nothing is cleared over them,
  // and the row guard takes the new width.
  const std::string as(51, 'a');
  session.Write("stty cols 40; echo " + as + "\r");
  session.Wait_For("\r\n");
  EXPECT_EQ(session.Wait_For_Frame().Before, as + "\r\n" + Row_Guard(40));
}

TEST(InteractiveRows, ABadSettingIsOneLine) {
  Pty_Session session({.Environment = {"NELK_REFLOW=yes"}, .Wait_For_Start = false});
  EXPECT_EQ(session.Wait_For_Frame().Before,
            "NELK_REFLOW is neither 1 nor 0: ignored, the terminal's kind decides\r\n"
            "Greetings tester!\r\n");
}

}  // namespace
}  // namespace nk::pty_test
