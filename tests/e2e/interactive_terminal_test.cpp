// The terminal around the program: its modes, keyboards, Control-C, input on a pipe.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>

#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

// Each keyboard: raw keys, Alt keys, ESC [ and an unknown letter (passed on under linux, one
// more swallowed under xterm), input modes reset under xterm only, Escape twice ends it.
TEST(InteractiveTerminal, EachKeyboardFromStartToEscapeTwice) {
  const std::string cases[][3] = {{"linux", "ax\r\n", "bZyz\r\n"}, {"xterm", "a\r\n", "bz\r\n"}};
  for (const auto& [term, alt_x, csi_z] : cases) {
    SCOPED_TRACE(term);
    Pty_Session session({.Term = term});
    const termios raw = session.Modes();
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG), 0U) << "keys are read raw";
    EXPECT_EQ(raw.c_oflag, session.Initial_Modes.c_oflag) << "output processing untouched";
    EXPECT_EQ(session.Run_Line("echo a\x1bx"), alt_x);
    EXPECT_EQ(session.Run_Line("echo b\x1b[Zyz"), csi_z);
    EXPECT_EQ(session.Run_Line("printf '\\033[?2004h'"), "\x1b[?2004h");
    session.Write("\x1b\x1b");
    EXPECT_EQ(session.Ended(), 0);
    EXPECT_TRUE(session.Screen.ends_with("$ \r\n")) << "the last row is ended";
    const std::string reset(Input_Modes_Reset);
    if (term == "xterm") {
      EXPECT_TRUE(session.Screen.starts_with("Greetings tester!\r\n" + reset)) << session.Screen;
      EXPECT_NE(session.Screen.find("\x1b[?2004h" + reset), std::string::npos) << session.Screen;
    } else {
      EXPECT_EQ(session.Screen.find(reset), std::string::npos) << session.Screen;
    }
  }
}

TEST(InteractiveTerminal, ChildrenRunCookedAndControlCStopsOnlyThem) {
  Pty_Session session;
  session.Write("cat\r");
  session.Wait_For("\r\n");
  session.Wait_Until([&] { return (session.Modes().c_lflag & ICANON) != 0; }, "cooked modes");
  // The terminal echoes the line and cat copies it: cat is reading, with Control-C live.
  session.Write("hello\r");
  session.Wait_For("hello\r\nhello\r\n");
  session.Write("\x03");
  // The echoed ^C keeps its row; the status starts a row of its own.
  EXPECT_EQ(session.Wait_For_Frame().Before, "^C" + Row_Guard(80) + "Error: errno =  130\r\n");
  EXPECT_EQ(session.Modes().c_lflag & (ECHO | ICANON | ISIG), 0U) << "raw again after the child";
  EXPECT_EQ(session.Run_Line("echo alive"), "alive\r\n");
}

TEST(InteractiveTerminal, PipedInputRunsToItsEnd) {
  const Temp_Tree tree;
  const std::string prompt = "XTERM:  1.0%: hh:mm:ss: 0.00$ ";
  const std::regex clock("[0-9]{2}:[0-9]{2}:[0-9]{2}");
  // A valid -N and a word that is no switch let the shell run, as no switch at all does.
  auto run = Run_Piped(tree, {.Term = std::nullopt, .Arguments = {"-N", " XTERM ", "stray"}});
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_EQ(std::regex_replace(run.Output, clock, "hh:mm:ss"),
            "Greetings tester!\n\r" + prompt + "      \r" + prompt);
  // On a pipe a partial row gets no row guard, whatever the environment says.
  run = Run_Piped(tree, {.Environment = {"TMUX=/tmp/t,1,0"}}, "printf partial\nset v=3\nput v\n");
  EXPECT_EQ(run.Exit(), 0);
  EXPECT_NE(run.Output.find("\npartial\rXTERM:"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\n 3\n"), std::string::npos) << run.Output;
  EXPECT_EQ(run.Output.find('\x1b'), std::string::npos) << "no mode reset on a pipe";
  EXPECT_EQ(tree.Read_File("nk.shared.total_sum"), std::nullopt) << "the shell made no total";
}

// As scripts/run asks: the terminals that send xterm's keys count as xterm unless -N chose
// a kind, and the programs nelk runs do not inherit the request.
TEST(InteractiveTerminal, TheXtermFamilyCountsAsXtermOnlyWhenAsked) {
  const Temp_Tree tree;
  const std::vector<std::string> asked = {"NELK_XTERM_FAMILY=1"};
  const struct {
    std::string Term;
    std::vector<std::string> Environment, Arguments;
    std::string Kind;
  } cases[] = {{"tmux-256color", asked, {}, "XTERM"},
               {"screen", asked, {}, "XTERM"},
               {"rxvt-unicode", asked, {"-N", "linux"}, "LINUX"},
               {"rxvt", asked, {}, "XTERM"},
               {"xterm-256color", {}, {}, "NONE"},
               {"vt100", asked, {}, "NONE"}};
  for (const auto& c : cases) {
    const auto run =
        Run_Piped(tree, {.Term = c.Term, .Arguments = c.Arguments, .Environment = c.Environment},
                  "echo x${NELK_XTERM_FAMILY}x\n");
    EXPECT_EQ(run.Output.rfind("Greetings tester!\n\r" + c.Kind + ":", 0), 0U) << run.Output;
    EXPECT_EQ(run.Output.find("\nxx\n") != std::string::npos, c.Kind != "NONE") << run.Output;
  }
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
    EXPECT_EQ(session.Modes().c_lflag & (ECHO | ICANON | ISIG),
              static_cast<tcflag_t>(ICANON | ISIG));
    session.Write("echo ignored\r\x1b\x1b\r");
    for (int frames = 0; frames < 3; ++frames) {
      const Frame frame = session.Wait_For_Frame();
      EXPECT_EQ(frame.Before, "") << "no line is drawn, nothing runs";
      EXPECT_EQ(frame.Kind, "NONE");
    }
    EXPECT_TRUE(session.Running()) << "Escape twice does not end it";
    session.Write(c.Key);
    EXPECT_EQ(session.Ended(), c.Status);
    EXPECT_TRUE(WIFEXITED(session.Status.value_or(-1))) << "not killed by the key's signal";
    EXPECT_TRUE(session.Screen.ends_with("$ \r\n")) << "the last row is ended";
    EXPECT_EQ(session.Screen.find("ignored"), std::string::npos) << "no echo, nothing ran";
  }
}

}  // namespace
}  // namespace nk::pty_test
