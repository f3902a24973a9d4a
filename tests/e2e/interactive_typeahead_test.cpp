// Keys typed ahead (a paste, keys typed while a command ran) share one frame.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

std::size_t Count(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(InteractiveTypeahead, APasteWaitingBehindACommandIsDrawnOnce) {
  Pty_Session session({.Columns = 250});  // prompt and line fit in the row
  ASSERT_TRUE(session.Wait_For_Frame());
  std::string line = "echo ";
  for (int i = 0; line.size() < 200; ++i) {
    line += static_cast<char>('a' + i % 26);
  }
  session.Write("sleep 0.2\n" + line);
  const auto before = session.Wait_For("$ " + line);
  ASSERT_TRUE(before) << session.Unread();
  // Two prompts a frame; the last frame's second prompt precedes the line itself.
  EXPECT_LE((Count(*before, "\rXTERM:") + 1) / 2, 2U) << *before;
  EXPECT_EQ(session.Run_Line(""), line.substr(5) + "\r\n");
}

TEST(InteractiveTypeahead, SkippedFramesStillBlankTheLongestLineShown) {
  Pty_Session session;
  ASSERT_TRUE(session.Wait_For_Frame());
  session.Write("echo abcdef");
  ASSERT_TRUE(session.Wait_For("$ echo abcdef"));
  session.Write("\x7f\x7f\x7f");
  // One frame for the three: the prompt's blank, then blanks over the 11 columns of the
  // line last shown.
  const std::regex frame("\\$ {12}\\rXTERM:[^\\r]*\\$ echo abc");
  EXPECT_TRUE(session.Wait_Until([&] { return std::regex_search(session.Unread(), frame); }))
      << session.Unread();
}

}  // namespace
}  // namespace nk::pty_test
