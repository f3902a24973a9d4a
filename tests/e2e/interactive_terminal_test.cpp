// The terminal around the program: its modes on every way in and out, keyboards of each
// kind, Control-C, one row at any width, and standard input that is not a terminal.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>

#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(InteractiveTerminal, EscapeTwiceEndsWithStatusZeroAndModesRestored) {
  for (const char* term : {"xterm", "linux"}) {
    Pty_Session session({.Term = term});
    ASSERT_TRUE(session.Wait_For_Frame()) << term;
    const termios raw = session.Modes();
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG), 0U) << "keys are read raw";
    EXPECT_EQ(raw.c_oflag, session.Initial_Modes().c_oflag) << "output processing untouched";
    session.Write("\x1b\x1b");
    const auto status = session.Wait_Exit();
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << term;
    EXPECT_TRUE(session.Modes_Restored()) << term;
  }
}

TEST(InteractiveTerminal, ChildrenRunCookedAndControlCStopsOnlyThem) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  EXPECT_EQ(
      session.Run_Line("stty -a | tr ' ;' '\\n\\n' | grep -x -e -*isig -e -*icanon -e -*echo"),
      "isig\r\nicanon\r\necho\r\n");
  EXPECT_EQ(session.Modes().c_lflag & (ECHO | ICANON | ISIG), 0U) << "raw again after the child";
  session.Write("cat\r");
  ASSERT_TRUE(session.Wait_For("\r\n"));
  ASSERT_TRUE(session.Wait_Until([&] { return (session.Modes().c_lflag & ICANON) != 0; }));
  // The terminal echoes the line and cat copies it: cat is reading, with Control-C live.
  session.Write("hello\r");
  ASSERT_TRUE(session.Wait_For("hello\r\nhello\r\n")) << session.Unread();
  session.Write("\x03");
  const auto frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame) << session.Unread();
  EXPECT_EQ(frame->Before, "^CError: errno =  130\r\n");
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

TEST(InteractiveTerminal, AltKeysDifferByKeyboard) {
  // ESC [ then an unknown letter: passed on under linux, swallows one more under xterm.
  const std::string cases[][3] = {{"linux", "ax\r\n", "bZyz\r\n"}, {"xterm", "a\r\n", "bz\r\n"}};
  for (const auto& [term, alt_x, csi_z] : cases) {
    Pty_Session session({.Term = term});
    ASSERT_TRUE(session.Wait_For_Frame());
    EXPECT_EQ(session.Run_Line("echo a\x1bx"), alt_x) << term;
    EXPECT_EQ(session.Run_Line("echo b\x1b[Zyz"), csi_z) << term;
  }
}

TEST(InteractiveTerminal, PipedInputRunsToItsEnd) {
  const Temp_Tree tree;
  const std::string prompt = "XTERM:  1.0%: hh:mm:ss: 0.00$ ";
  const std::regex clock("[0-9]{2}:[0-9]{2}:[0-9]{2}");
  auto run = Run_Piped(tree, {}, "");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(std::regex_replace(run.Output, clock, "hh:mm:ss"),
            "Greetings tester!\n\r" + prompt + "      \r" + prompt);
  run = Run_Piped(tree, {}, "echo piped\nset v=3\nput v\n");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(run.Output.rfind("Greetings tester!\n\r" + prompt.substr(0, 6), 0), 0U) << run.Output;
  EXPECT_NE(run.Output.find("\npiped\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\n 3\n"), std::string::npos) << run.Output;
  // Without a known kind nothing typed runs.
  run = Run_Piped(tree, {.Term = std::nullopt}, "echo hidden\n\x1b\x1b");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(run.Output.rfind("Greetings tester!\n\rNONE:", 0), 0U) << run.Output;
  EXPECT_EQ(run.Output.find("hidden\n"), std::string::npos) << run.Output;
}

TEST(InteractiveTerminal, LongLineStaysOnOneRowAndFollowsAResize) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  const std::string line = "echo " + std::string(147, 'a') + std::string(40, '0') + "ABCDEFGH";
  session.Write(line);
  // 80 columns: the prompt's 30, the marker and the line's last 48, the last column free.
  ASSERT_TRUE(session.Wait_For("$ <" + std::string(40, '0') + "ABCDEFGH\r")) << session.Unread();
  const winsize narrow{.ws_row = 24, .ws_col = 40, .ws_xpixel = 0, .ws_ypixel = 0};
  ASSERT_EQ(::ioctl(session.Fd, TIOCSWINSZ, &narrow), 0);  // the kernel sends SIGWINCH
  EXPECT_TRUE(session.Wait_For("$ <ABCDEFGH\r")) << session.Unread();
  EXPECT_EQ(session.Run_Line(""), line.substr(5) + "\r\n") << "the whole line runs";
}

// No known kind (TERM unset or unknown): the terminal keeps its line discipline, typed
// lines are neither drawn nor run, and only Control-D or Control-C end the program.
TEST(InteractiveTerminal, WithoutAKnownKindKeysAreIgnoredUntilControlDOrControlC) {
  const struct {
    std::optional<std::string> Term;
    std::string Key;
    int Status;
  } cases[] = {{std::nullopt, "\x04", 0}, {"xterm-256color", "\x03", 130}};
  for (const auto& c : cases) {
    Pty_Session session({.Term = c.Term});
    ASSERT_TRUE(session.Wait_For_Frame());
    EXPECT_EQ(session.Modes().c_lflag & (ECHO | ICANON | ISIG),
              static_cast<tcflag_t>(ICANON | ISIG));
    session.Write("echo ignored\r\x1b\x1b\r");
    for (int frames = 0; frames < 3; ++frames) {
      const auto frame = session.Wait_For_Frame();
      ASSERT_TRUE(frame);
      EXPECT_EQ(frame->Before, "") << "no line is drawn, nothing runs";
      EXPECT_EQ(frame->Kind, "NONE");
    }
    EXPECT_TRUE(session.Running()) << "Escape twice does not end it";
    session.Write(c.Key);
    const auto status = session.Wait_Exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == c.Status) << *status;
    EXPECT_TRUE(session.Modes_Restored());
    EXPECT_EQ(session.Screen.find("ignored"), std::string::npos) << "no echo, nothing ran";
  }
}

TEST(InteractiveTerminal, CursorKeysAreSetToNormalModeUnderXtermOnly) {
  Pty_Session xterm;
  EXPECT_EQ(xterm.Wait_For(Cursor_Key_Reset), "Greetings tester!\r\n") << "before the first key";
  xterm.Write("printf '\\033[?1h'\r");
  ASSERT_TRUE(xterm.Wait_For("\r\n"));
  EXPECT_EQ(xterm.Wait_For(Cursor_Key_Reset), "\x1b[?1h") << "after the child";
  Pty_Session linux_console({.Term = "linux"});
  ASSERT_TRUE(linux_console.Wait_For_Frame());
  EXPECT_EQ(linux_console.Run_Line("true"), "");
  EXPECT_EQ(linux_console.Screen.find(Cursor_Key_Reset), std::string::npos);
}

}  // namespace
}  // namespace nk::pty_test
