// The bytes around the frame, and whether the terminal re-wraps its rows.
#include "terminal/rows.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "terminal/rewrap.hpp"

namespace {

using namespace nk::main;

// At a real width: tests/e2e (Row_Guard).
TEST(Rows, PartialLineGuardFillsExactlyOneRow) {
  const std::string marker = "\x1b[7m%\x1b[27m";
  EXPECT_EQ(Partial_Line_Guard(2), marker + " \r\x1b[K");
  EXPECT_EQ(Partial_Line_Guard(1), marker + "\r\x1b[K");
  EXPECT_EQ(Partial_Line_Guard(0), "");
}

TEST(Rows, ShrinkClearsTheRowsTheLastFrameWasWrappedInto) {
  // The last frame's columns, the old width, the new width, and the bytes.
  const std::tuple<std::size_t, std::size_t, std::size_t, std::string> cases[] = {
      // clang-format off
      {61, 120, 60, "\r\x1b[1A\x1b[J"}, {119, 120, 60, "\r\x1b[1A\x1b[J"},
      {79, 80, 9, "\r\x1b[8A\x1b[J"}, {120, 121, 40, "\r\x1b[2A\x1b[J"},
      {121, 122, 40, "\r\x1b[3A\x1b[J"}, {59, 120, 60, ""}, {0, 120, 60, ""}, {100, 120, 0, ""},
      {60, 120, 60, ""},  // exactly the new width: still one row, the cursor at its edge
      // clang-format on
  };
  for (const auto& [previous, old_width, new_width, bytes] : cases)
    EXPECT_EQ(Rewrapped_Rows_Clear(previous, old_width, new_width), bytes)
        << previous << " columns, " << old_width << " -> " << new_width;
}

TEST(Rows, OneRowCutsAtAWholeCharacter) {
  const std::tuple<std::string, std::size_t, std::string> cases[] = {
      // clang-format off
      {"ab", 3, "ab"}, {"abc", 3, "a\u2026"}, {"a\u65e5\u672c", 6, "a\u65e5\u672c"},
      {"a\u65e5\u672c", 5, "a\u65e5\u2026"}, {"a\u65e5\u672c", 4, "a\u2026"},
      {"x\x1b[2J\xffy", 80, "x\ufffd[2J\ufffdy"}, {"abc", 1, ""}, {"abc", 0, ""},
      // clang-format on
  };
  for (const auto& [message, columns, row] : cases) EXPECT_EQ(One_Row(message, columns), row);
}

// Which variable wins when several are set (the real re-wrap: tests/tmux/rows).
TEST(Rows, RewrapChoiceFollowsNelkReflowThenTmuxThenXterm) {
  // The environment, then whether the terminal re-wraps and whether NELK_REFLOW is bad.
  const std::tuple<std::map<std::string, std::string>, bool, bool> cases[] = {
      // clang-format off
      {{}, false, false}, {{{"TERM_PROGRAM", "vscode"}}, true, false},
      {{{"TMUX", "t"}, {"XTERM_VERSION", "x"}}, true, false},
      {{{"XTERM_VERSION", "x"}, {"VTE_VERSION", "v"}}, false, false},
      {{{"KITTY_WINDOW_ID", "1"}, {"TERM_PROGRAM", "Apple_Terminal"}}, true, false},
      {{{"NELK_REFLOW", "0"}, {"TMUX", "t"}}, false, false}, {{{"NELK_REFLOW", ""}}, false, true},
      {{{"NELK_REFLOW", "1"}, {"XTERM_VERSION", "x"}}, true, false},
      {{{"NELK_REFLOW", "yes"}, {"TMUX", "t"}}, true, true},
      {{{"TMUX", ""}, {"TERM_PROGRAM", "Apple_Terminal"}}, false, false},  // empty is unset
      // clang-format on
  };
  for (const auto& [environment, rewraps, bad] : cases) {
    const auto choice = Choose_Rewrap([&environment = environment](const char* name) {
      const auto found = environment.find(name);
      return found == environment.end() ? nullptr : found->second.c_str();
    });
    EXPECT_EQ(std::pair(choice.Rewraps, choice.Bad_Setting), std::pair(rewraps, bad))
        << testing::PrintToString(environment);
  }
}

}  // namespace
