// The screen as the user sees it: greeting, status line, typing, history, completion.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "e2e/pty_session.hpp"

namespace {

using nk::pty_test::Frame;
using nk::pty_test::Parse_Prompt;
using nk::pty_test::Pty_Session;
using nk::pty_test::Session_Options;

int Seconds_Of_Day(const std::string& hh_mm_ss) {
  return std::stoi(hh_mm_ss.substr(0, 2)) * 3600 + std::stoi(hh_mm_ss.substr(3, 2)) * 60 +
         std::stoi(hh_mm_ss.substr(6, 2));
}

int Utc_Seconds_Of_Day() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  return utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
}

TEST(InteractiveScreen, GreetingThenStatusLine) {
  struct Case {
    std::optional<std::string> User;
    std::optional<std::string> Term;
    const char* Greeting;
    const char* Kind;
  };
  const Case cases[] = {
      {"tester", "xterm", "Greetings tester!\r\n", "XTERM"},
      {std::nullopt, "LINUX", "Greetings !\r\n", "LINUX"},
      {"", " Xterm ", "Greetings !\r\n", "XTERM"},
      {"u", "xterm-256color", "Greetings u!\r\n", "NONE"},
  };
  for (const Case& c : cases) {
    Session_Options options;
    options.User = c.User;
    options.Term = c.Term;
    Pty_Session session(options);
    const auto first = session.Wait_For_Frame();
    ASSERT_TRUE(first) << session.Screen();
    EXPECT_EQ(first->Before, c.Greeting);
    const auto fields = Parse_Prompt(first->Prompt);
    ASSERT_TRUE(fields) << first->Prompt;
    EXPECT_EQ(fields->Kind, c.Kind);
    EXPECT_EQ(fields->Usage, "  1.0%");
    EXPECT_EQ(fields->Total, " 0.00");
    const int drift = (Utc_Seconds_Of_Day() - Seconds_Of_Day(fields->Time) + 86400) % 86400;
    EXPECT_LE(drift, 30) << "the clock is UTC: " << fields->Time;
    EXPECT_EQ(first->Blanks, 6U) << "no total drawn before the first frame";
  }
}

TEST(InteractiveScreen, UsageIsRightAlignedInSix) {
  struct Case {
    const char* Script_Output;
    const char* Usage;
  };
  const Case cases[] = {{"7", "    7%"}, {"100.0", "100.0%"}, {"", "     %"}, {"12.5", " 12.5%"}};
  for (const Case& c : cases) {
    Session_Options options;
    options.Cpu_Script = std::string("#!/bin/sh\necho '") + c.Script_Output + "'\n";
    Pty_Session session(options);
    const auto first = session.Wait_For_Frame();
    ASSERT_TRUE(first) << session.Screen();
    const auto fields = Parse_Prompt(first->Prompt);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->Usage, c.Usage) << c.Script_Output;
    EXPECT_FALSE(session.Tree().Read_File("../home/.cpu_usage.txt"))
        << "the sample file is removed";
  }
}

TEST(InteractiveScreen, StoredTotalAndItsWidth) {
  Session_Options options;
  Pty_Session session(options);
  // -1234.50: the count -123450, four bytes, least significant first.
  session.Tree().Write_File("nk.shared.total_sum", std::string("\xc6\x1d\xfe\xff", 4));
  ASSERT_TRUE(session.Wait_For_Frame());
  const auto later = session.Wait_For_Frame();
  ASSERT_TRUE(later) << "the status line is redrawn without keys";
  EXPECT_EQ(Parse_Prompt(later->Prompt)->Total, "-1234.50");
  const auto next = session.Wait_For_Frame();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->Blanks, 8U + 6U) << "the last total's width plus six";
}

TEST(InteractiveScreen, TypingBackspaceAndTheDrawnLine) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  session.Write(
      "\x7f"
      "echo abX");
  ASSERT_TRUE(session.Wait_For("$ echo abX")) << session.Unread();
  session.Write("\x7f");
  ASSERT_TRUE(session.Wait_For("$ echo ab\r")) << session.Unread();
  EXPECT_EQ(session.Run_Line("c"), "abc\r\n");
  // Control characters other than the editing ones change nothing.
  EXPECT_EQ(session.Run_Line(std::string("echo \x01\x02\x08"
                                         "d")),
            "d\r\n");
}

TEST(InteractiveScreen, HistoryRecallAndTheBell) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  session.Write("\x1b[A");
  EXPECT_TRUE(session.Wait_For("\a")) << "Up on an empty history rings";
  ASSERT_EQ(session.Run_Line("echo one"), "one\r\n");
  ASSERT_EQ(session.Run_Line("echo two"), "two\r\n");
  session.Write("\x1b[B");
  EXPECT_TRUE(session.Wait_For("\a")) << "Down without Up rings";
  session.Write("\x1b[A");
  EXPECT_TRUE(session.Wait_For("$ echo two"));
  session.Write("\x1b[A");
  EXPECT_TRUE(session.Wait_For("$ echo one"));
  session.Write("\x1b[A");
  const auto before_bell = session.Wait_For("\a");
  ASSERT_TRUE(before_bell) << "Up beyond the oldest rings";
  EXPECT_EQ(before_bell->find("echo"), std::string::npos) << "and changes nothing";
  session.Write("\x1b[B");
  EXPECT_TRUE(session.Wait_For("$ echo two"));
  session.Write("\x1b[A");
  EXPECT_TRUE(session.Wait_For("$ echo one"));
  EXPECT_EQ(session.Run_Line(""), "one\r\n") << "a recalled line runs as it is";
  session.Write("\x1b[A");
  EXPECT_TRUE(session.Wait_For("$ echo one")) << "and becomes the newest entry";
}

TEST(InteractiveScreen, CompletionReplacesOrLists) {
  Pty_Session session;
  session.Tree().Write_File("sub/alpha.txt", "ALPHA\n");
  session.Tree().Write_File("sub/beta1", "");
  session.Tree().Write_File("sub/beta2", "");
  ASSERT_TRUE(session.Wait_For_Frame());
  session.Write("cat sub/alp\t");
  ASSERT_TRUE(session.Wait_For("$ cat sub/alpha.txt")) << session.Unread();
  EXPECT_EQ(session.Run_Line(""), "ALPHA\r\n");

  session.Write("ls sub/bet\t");
  ASSERT_TRUE(session.Wait_For("$ ls sub/bet"));
  const auto listed = session.Wait_For_Frame();
  ASSERT_TRUE(listed);
  const bool in_order = listed->Before == "\r\nsub/beta1\r\nsub/beta2\r\n";
  const bool reversed = listed->Before == "\r\nsub/beta2\r\nsub/beta1\r\n";
  EXPECT_TRUE(in_order || reversed) << listed->Before;
  EXPECT_TRUE(session.Wait_For("$ ls sub/bet\r")) << "the line stays as it was";
}

TEST(InteractiveScreen, EditingKeysLeaveTheLineAlone) {
  struct Case {
    const char* Term;
    const char* Keys;
  };
  // Left, Right, Home, End, Delete, Insert, Page Up, Page Down, F12, in each keyboard.
  const Case cases[] = {
      {"xterm", "\x1b[D\x1b[C\x1b[H\x1b[F\x1b[3~\x1b[2~\x1b[5~\x1b[6~\x1b[24~\x1b[15~\x1bOP"},
      {"linux", "\x1b[D\x1b[C\x1b[1~\x1b[4~\x1b[3~\x1b[2~\x1b[5~\x1b[6~\x1b[24~\x1b[[A"},
  };
  for (const Case& c : cases) {
    Session_Options options;
    options.Term = c.Term;
    Pty_Session session(options);
    ASSERT_TRUE(session.Wait_For_Frame());
    EXPECT_EQ(session.Run_Line(std::string("echo k") + c.Keys + "e"), "ke\r\n") << c.Term;
  }
}

}  // namespace
