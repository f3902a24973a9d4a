// The bytes around the frame, and whether the terminal re-wraps its rows.
#include "terminal/rows.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "terminal/rewrap.hpp"

namespace {

using namespace nk::main;

const std::string Marker = "\x1b[7m%\x1b[27m";

TEST(Rows, PartialLineGuardFillsExactlyOneRow) {
  const std::pair<std::size_t, std::string> cases[] = {
      {80, Marker + std::string(79, ' ') + "\r\x1b[K"},
      {2, Marker + " \r\x1b[K"},
      {1, Marker + "\r\x1b[K"},
      {0, ""}};
  for (const auto& [columns, bytes] : cases)
    EXPECT_EQ(Partial_Line_Guard(columns), bytes) << columns;
}

TEST(Rows, ShrinkClearsTheRowsTheLastFrameWasWrappedInto) {
  const struct {
    std::size_t previous, old_width, new_width;
    std::string bytes;
  } cases[] = {
      // clang-format off
      {100, 120, 60, "\r\x1b[1A\x1b[J"}, {61, 120, 60, "\r\x1b[1A\x1b[J"},
      {119, 120, 60, "\r\x1b[1A\x1b[J"},  // the old width filled, last column free
      {119, 120, 40, "\r\x1b[2A\x1b[J"}, {79, 80, 9, "\r\x1b[8A\x1b[J"},
      {120, 121, 40, "\r\x1b[2A\x1b[J"}, {121, 122, 40, "\r\x1b[3A\x1b[J"},
      {60, 120, 60, ""},  // exactly the new width: still one row, the cursor at its edge
      {59, 120, 60, ""}, {0, 120, 60, ""}, {100, 120, 0, ""},
      {100, 60, 120, ""}, {50, 60, 60, ""},  // not narrower: nothing was wrapped
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rewrapped_Rows_Clear(c.previous, c.old_width, c.new_width), c.bytes)
        << c.previous << " columns, " << c.old_width << " -> " << c.new_width;
  }
}

TEST(Rows, OneRowCutsAtAWholeCharacter) {
  const struct {
    std::string message;
    std::size_t columns;
    std::string row;
  } cases[] = {
      // clang-format off
      {"ab", 3, "ab"}, {"abc", 3, "a\u2026"}, {"a\u65e5\u672c", 6, "a\u65e5\u672c"},
      {"a\u65e5\u672c", 5, "a\u65e5\u2026"}, {"a\u65e5\u672c", 4, "a\u2026"},
      {"x\x1b[2J\xffy", 80, "x\ufffd[2J\ufffdy"}, {"abc", 1, ""}, {"abc", 0, ""},
      // clang-format on
  };
  for (const auto& c : cases) EXPECT_EQ(One_Row(c.message, c.columns), c.row) << c.columns;
}

// Which variable wins when several are set; each named terminal's own row would only
// restate the list (the real re-wrap: tests/tmux/rows).
TEST(Rows, RewrapChoiceFollowsNelkReflowThenTmuxThenXterm) {
  const struct {
    std::map<std::string, std::string> environment;
    bool rewraps, bad;
  } cases[] = {
      // clang-format off
      {{}, false, false}, {{{"TERM_PROGRAM", "vscode"}}, true, false},
      {{{"TMUX", ""}, {"TERM_PROGRAM", "Apple_Terminal"}}, false, false},  // empty is unset
      {{{"TMUX", "/tmp/t,1,0"}, {"XTERM_VERSION", "XTerm(379)"}}, true, false},
      {{{"XTERM_VERSION", "XTerm(379)"}, {"VTE_VERSION", "7200"}}, false, false},
      {{{"KITTY_WINDOW_ID", "1"}, {"TERM_PROGRAM", "Apple_Terminal"}}, true, false},
      {{{"NELK_REFLOW", "0"}, {"TMUX", "/tmp/t,1,0"}}, false, false},
      {{{"NELK_REFLOW", "1"}, {"XTERM_VERSION", "XTerm(379)"}}, true, false},
      {{{"NELK_REFLOW", "yes"}, {"TMUX", "/tmp/t,1,0"}}, true, true},
      {{{"NELK_REFLOW", ""}}, false, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    const auto choice = Choose_Rewrap([&c](const char* name) -> const char* {
      const auto found = c.environment.find(name);
      return found == c.environment.end() ? nullptr : found->second.c_str();
    });
    const auto shown = testing::PrintToString(c.environment);
    EXPECT_EQ(choice.Rewraps, c.rewraps) << shown;
    EXPECT_EQ(choice.Bad_Setting, c.bad) << shown;
  }
}

}  // namespace
