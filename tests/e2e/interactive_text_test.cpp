// Real terminals, real text: UTF-8 in and out, one row at any width, quoted completions,
// an unknown terminal kind that can still be left, cursor keys in normal mode.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>

#include <chrono>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(InteractiveText, Utf8GoesThroughCommandsVariablesAndDirectories) {
  Pty_Session session;
  session.Tree().Write_File("dossier_\xc3\xa9/f", "");
  ASSERT_TRUE(session.Wait_For_Frame());
  const std::string text =
      "h\xc3\xa9llo w\xc3\xb6rld \xe2\x82\xac \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80";
  EXPECT_EQ(session.Run_Line("echo " + text), text + "\r\n");
  EXPECT_EQ(session.Run_Line("set v=caf\xc3\xa9"), "");
  EXPECT_EQ(session.Run_Line("put v"), "caf\xc3\xa9\r\n");
  EXPECT_EQ(session.Run_Line("cd dossier_\xc3\xa9"), "");
  EXPECT_EQ(session.Run_Line("pwd"), session.Tree().Work() + "/dossier_\xc3\xa9\r\n");
}

TEST(InteractiveText, CompletedNamesAreFoundByTheCommand) {
  Pty_Session session({.Environment = {"LC_ALL=C.UTF-8"}});  // ls then prints the name as is
  const std::string work = session.Tree().Work();
  session.Tree().Write_File("caf\xc3\xa9.txt", "CAFE\n");
  session.Tree().Write_File("bad\xff.dat", "BAD\n");
  session.Tree().Write_File("my file;x", "SPACED\n");
  ASSERT_TRUE(session.Wait_For_Frame());
  // On screen a raw byte is a visible U+FFFD; in the line it stays the byte.
  const struct {
    std::string typed, shown, output;
  } cases[] = {
      {"cat caf", work + "/caf\xc3\xa9.txt", "CAFE\r\n"},
      {"cat bad", work + "/bad\xef\xbf\xbd.dat", "BAD\r\n"},
      {"cat file", "'" + work + "/my file;x'", "SPACED\r\n"},
      {"ls caf", work + "/caf\xc3\xa9.txt", work + "/caf\xc3\xa9.txt\r\n"},
  };
  for (const auto& c : cases) {
    session.Write(c.typed + "\t");
    ASSERT_TRUE(session.Wait_For("$ " + c.typed.substr(0, c.typed.find(' ') + 1) + c.shown))
        << session.Unread();
    EXPECT_EQ(session.Run_Line(""), c.output) << c.typed;
  }
}

// Reads for `period` and answers every row drawn: the texts between carriage returns.
std::vector<std::string> Rows_For(Pty_Session& session, std::chrono::milliseconds period) {
  const auto end = std::chrono::steady_clock::now() + period;
  while (session.Pump(end)) {
  }
  std::vector<std::string> rows;
  const std::string unread = session.Unread();
  for (std::size_t at = 0; at < unread.size();) {
    const std::size_t next = unread.find('\r', at);
    rows.push_back(unread.substr(at, next - at));
    at = next == std::string::npos ? unread.size() : next + 1;
  }
  return rows;
}

TEST(InteractiveText, LongLineStaysOnOneRowAndFollowsAResize) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  const std::string line = "echo " + std::string(147, 'a') + std::string(40, '0') + "ABCDEFGH";
  ASSERT_EQ(line.size(), 200U);
  session.Write(line);
  // 80 columns: the prompt's 30, the marker and the line's last 48, the last column free.
  ASSERT_TRUE(session.Wait_For("$ <" + std::string(40, '0') + "ABCDEFGH\r")) << session.Unread();
  const auto rows = Rows_For(session, std::chrono::milliseconds(2000));
  EXPECT_GE(rows.size(), 6U) << "redrawn at least three times";
  for (const std::string& row : rows) {
    EXPECT_EQ(row.find('\n'), std::string::npos) << "no new row";
    EXPECT_LE(row.size(), 79U) << row;
  }
  const winsize narrow{.ws_row = 24, .ws_col = 40, .ws_xpixel = 0, .ws_ypixel = 0};
  ASSERT_EQ(::ioctl(session.Fd, TIOCSWINSZ, &narrow), 0);  // the kernel sends SIGWINCH
  EXPECT_TRUE(session.Wait_For("$ <ABCDEFGH\r")) << session.Unread();
  EXPECT_EQ(session.Run_Line(""), line.substr(5) + "\r\n") << "the whole line runs";
}

TEST(InteractiveText, UnknownTerminalKindEndsWithControlDOrControlC) {
  for (const std::string key : {"\x04", "\x03"}) {
    Pty_Session session({.Term = "xterm-256color"});
    const auto frame = session.Wait_For_Frame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Kind, "NONE");
    const termios modes = session.Modes();
    EXPECT_EQ(modes.c_lflag & (ECHO | ICANON | ISIG), static_cast<tcflag_t>(ICANON | ISIG));
    session.Write("echo ignored\r");
    session.Write(key);
    const auto status = session.Wait_Exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status)) << *status;
    EXPECT_EQ(WEXITSTATUS(*status), key == "\x04" ? 0 : 130);
    EXPECT_TRUE(session.Modes_Restored());
    EXPECT_EQ(session.Screen.find("ignored"), std::string::npos) << "no echo, nothing ran";
  }
}

TEST(InteractiveText, CursorKeysAreSetToNormalModeUnderXtermOnly) {
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
