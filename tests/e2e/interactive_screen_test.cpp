// The screen as the user sees it. Editing keys and frames are unit-tested (tests/main).
#include <gtest/gtest.h>

#include <ctime>
#include <iterator>
#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

TEST(InteractiveScreen, GreetingThenStatusLine) {
  const struct {
    std::optional<std::string> User, Term;
    std::string Cpu_Output, Greeting, Kind, Usage;
  } cases[] = {
      {"tester", "xterm", "1.0", "Greetings tester!\r\n", "XTERM", "  1.0%"},
      {std::nullopt, "LINUX", "7", "Greetings !\r\n", "LINUX", "    7%"},
      {"", " Xterm ", "100.0", "Greetings !\r\n", "XTERM", "100.0%"},
      {"u", "xterm-256color", "", "Greetings u!\r\n", "NONE", "     %"},
  };
  for (const auto& c : cases) {
    Pty_Session session({.Term = c.Term,
                         .User = c.User,
                         .Cpu_Script = "#!/bin/sh\necho '" + c.Cpu_Output + "'\n",
                         .Environment = {"TZ=XYZ+5"},  // local time is not UTC
                         .Wait_For_Start = false});
    const Frame first = session.Wait_For_Frame();
    EXPECT_EQ(first.Before + first.Kind + "|" + first.Usage + "|" + first.Total,
              c.Greeting + c.Kind + "|" + c.Usage + "| 0.00");
    EXPECT_EQ(first.Blanks, 0U) << "no frame drawn before the first one";
    EXPECT_FALSE(session.Tree.Read_File("../home/.cpu_usage.txt")) << "the sample is removed";
    // The clock is UTC: within half a minute of the test's own UTC time of day.
    const auto& t = first.Time;
    const long shown = std::stol(t.substr(0, 2)) * 3600 + std::stol(t.substr(3, 2)) * 60 +
                       std::stol(t.substr(6, 2));
    EXPECT_LE((std::time(nullptr) - shown) % 86400, 30) << t;
  }
}

// Keys typed ahead (a paste, keys typed while a command ran) share one frame.
TEST(InteractiveScreen, APasteWaitingBehindACommandIsDrawnOnce) {
  Pty_Session session({.Columns = 250});  // prompt and line fit in the row
  std::string line = "echo ";
  for (int i = 0; line.size() < 200; ++i) line += static_cast<char>('a' + i % 26);
  session.Write("sleep 0.2\n" + line);
  const std::string before = session.Wait_For("$ " + line);
  const std::regex prompt("\rXTERM:");
  const auto prompts = std::distance(std::sregex_iterator(before.begin(), before.end(), prompt),
                                     std::sregex_iterator());
  // Two prompts a frame; the last frame's second prompt precedes the line itself.
  EXPECT_LE((prompts + 1) / 2, 2) << before;
  EXPECT_NE(before.find("$ sleep 0.2\r\n"), std::string::npos) << "the line that ran is shown";
  EXPECT_EQ(session.Run_Line(""), line.substr(5) + "\r\n");
}

// The shell reads no further than the Enter that starts a program: what follows is its.
TEST(InteractiveScreen, AProgramStartedByKeysTypedAheadReadsTheKeysAfterThem) {
  Pty_Session session;
  session.Write("head -n 1\rtyped for head\n");
  session.Wait_For("$ head -n 1\r\n");
  EXPECT_EQ(session.Wait_For_Frame().Before, "typed for head\r\n" + Row_Guard(80));
}

TEST(InteractiveScreen, SkippedFramesStillBlankTheLongestLineShown) {
  Pty_Session session;
  session.Write("echo abcdef");
  session.Wait_For("$ echo abcdef");
  session.Write("\x7f\x7f\x7f");
  // One frame for the three: the prompt's blank, then blanks over the 11 columns last shown.
  const std::regex frame("\\$ {12}\\rXTERM:[^\\r]*\\$ echo abc");
  session.Wait_Until([&] { return std::regex_search(session.Unread(), frame); }, "one frame");
}

}  // namespace
}  // namespace nk::pty_test
