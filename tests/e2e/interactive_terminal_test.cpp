// The terminal around the program: its modes on every way in and out, keyboards of
// each kind, signals, and standard input that is not a terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <map>
#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

namespace {

using nk::pty_test::Pty_Session;
using nk::pty_test::Run_Piped;
using nk::pty_test::Session_Options;

bool Same_Modes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

bool Exited_With(const std::optional<int>& status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

const std::regex& Frame_Of(const char* kind) {
  static std::map<std::string, std::regex> patterns;
  auto [entry, fresh] = patterns.try_emplace(kind);
  if (fresh) {
    entry->second = std::regex(std::string("\r") + kind + ":[^\r\n]{6}: [0-9:]{8}:[ -][0-9.]+\\$ ");
  }
  return entry->second;
}

TEST(InteractiveTerminal, EscapeTwiceEndsWithStatusZeroAndModesRestored) {
  for (const char* term : {"xterm", "linux"}) {
    Session_Options options;
    options.Term = term;
    Pty_Session session(options);
    ASSERT_TRUE(session.Wait_For_Frame()) << term;
    const termios raw = session.Modes();
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG), 0U) << "keys are read raw";
    EXPECT_EQ(raw.c_oflag, session.Initial_Modes().c_oflag) << "output processing untouched";
    session.Write("\x1b\x1b");
    EXPECT_TRUE(Exited_With(session.Wait_Exit(), 0)) << term;
    EXPECT_TRUE(Same_Modes(session.Modes(), session.Initial_Modes())) << term;
  }
}

TEST(InteractiveTerminal, ChildrenRunInTheStartUpModes) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  EXPECT_EQ(
      session.Run_Line("stty -a | tr ' ;' '\\n\\n' | grep -x -e -*isig -e -*icanon -e -*echo"),
      "isig\r\nicanon\r\necho\r\n");
  const termios back = session.Modes();
  EXPECT_EQ(back.c_lflag & (ECHO | ICANON | ISIG), 0U) << "raw again after the child";
}

TEST(InteractiveTerminal, ControlCStopsTheChildNotTheShell) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  session.Write("cat\r");
  ASSERT_TRUE(session.Wait_For("\r\n"));
  ASSERT_TRUE(
      session.Wait_For_Modes([](const termios& modes) { return (modes.c_lflag & ICANON) != 0; }));
  // The terminal echoes the line and cat copies it: cat is reading, with Control-C live.
  session.Write("hello\r");
  ASSERT_TRUE(session.Wait_For("hello\r\nhello\r\n")) << session.Unread();
  session.Write("\x03");
  const auto frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame) << session.Unread();
  EXPECT_EQ(frame->Before, "^CError: errno =  130");
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

TEST(InteractiveTerminal, TerminationSignalsRestoreModes) {
  for (const int signal_number : {SIGTERM, SIGHUP}) {
    Pty_Session session;
    ASSERT_TRUE(session.Wait_For_Frame());
    ASSERT_EQ(::kill(session.Pid(), signal_number), 0);
    const auto status = session.Wait_Exit();
    ASSERT_TRUE(status) << "signal " << signal_number << " did not end the program";
    EXPECT_TRUE(Same_Modes(session.Modes(), session.Initial_Modes())) << signal_number;
  }
}

TEST(InteractiveTerminal, AltKeysDifferByKeyboard) {
  struct Case {
    const char* Term;
    const char* Output;
  };
  const Case cases[] = {{"linux", "ax\r\n"}, {"xterm", "a\r\n"}};
  for (const Case& c : cases) {
    Session_Options options;
    options.Term = c.Term;
    Pty_Session session(options);
    ASSERT_TRUE(session.Wait_For_Frame());
    EXPECT_EQ(session.Run_Line("echo a\x1bx"), c.Output) << c.Term;
    // ESC [ followed by an unknown letter: passed on under linux, swallows one more under xterm.
    EXPECT_EQ(session.Run_Line("echo b\x1b[Zyz"),
              std::string(c.Term) == "linux" ? "bZyz\r\n" : "bz\r\n");
  }
}

TEST(InteractiveTerminal, WithoutAKnownTermKeysAreIgnored) {
  Session_Options options;
  options.Term = std::nullopt;
  Pty_Session session(options);
  ASSERT_TRUE(session.Wait_For_Frame());
  session.Write("echo nothing\r\x1b\x1b");
  for (int frames = 0; frames < 3; ++frames) {
    const auto frame = session.Wait_For_Frame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Before, "") << "no line is drawn, nothing runs";
    EXPECT_EQ(frame->Prompt.substr(0, 5), "NONE:");
  }
  EXPECT_TRUE(session.Running()) << "Escape twice does not end it";
  session.Hang_Up();
  EXPECT_TRUE(session.Wait_Exit()) << "the end of input does";
}

TEST(InteractiveTerminal, PipedInputRunsToItsEnd) {
  Session_Options options;
  const auto run = Run_Piped(options, "echo piped\nset v=3\nput v\n");
  EXPECT_TRUE(Exited_With(run.Status, 0)) << run.Output;
  EXPECT_EQ(run.Output.rfind("Greetings tester!\n", 0), 0U) << run.Output;
  EXPECT_NE(run.Output.find("\npiped\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\n 3\n"), std::string::npos) << run.Output;
  EXPECT_TRUE(std::regex_search(run.Output, Frame_Of("XTERM")));
}

TEST(InteractiveTerminal, EmptyInputShowsOnePromptAndEnds) {
  for (const std::optional<std::string>& term :
       {std::optional<std::string>("xterm"), std::optional<std::string>()}) {
    Session_Options options;
    options.Term = term;
    const auto run = Run_Piped(options, term ? "" : "echo hidden\n\x1b\x1b");
    EXPECT_TRUE(Exited_With(run.Status, 0)) << run.Output;
    EXPECT_EQ(run.Output.rfind("Greetings tester!\n\r", 0), 0U) << run.Output;
    EXPECT_TRUE(std::regex_search(run.Output, Frame_Of(term ? "XTERM" : "NONE"))) << run.Output;
    EXPECT_EQ(run.Output.find("hidden\n"), std::string::npos) << run.Output;
  }
}

}  // namespace
