// The bytes around the frame, and whether the terminal re-wraps its rows.
#include "screen/rows.hpp"

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

TEST(Rows, RewrapIsGuessedFromTheEnvironmentUnlessNelkReflowSays) {
  using Environment = std::map<std::string, std::string>;
  const struct {
    Environment environment;
    bool rewraps, bad;
  } cases[] = {
      // clang-format off
      {{}, false, false}, {{{"TERM", "linux"}}, false, false}, {{{"TMUX", ""}}, false, false},
      {{{"TMUX", "/tmp/tmux-0/default,1,0"}}, true, false},
      {{{"TMUX", "/tmp/t,1,0"}, {"XTERM_VERSION", "XTerm(379)"}}, true, false},
      {{{"XTERM_VERSION", "XTerm(379)"}, {"VTE_VERSION", "7200"}}, false, false},
      {{{"VTE_VERSION", "7200"}}, true, false}, {{{"KONSOLE_VERSION", "230805"}}, true, false},
      {{{"KITTY_WINDOW_ID", "1"}}, true, false}, {{{"WEZTERM_EXECUTABLE", "/bin/w"}}, true, false},
      {{{"ALACRITTY_WINDOW_ID", "1"}}, true, false}, {{{"ALACRITTY_SOCKET", "/a"}}, true, false},
      {{{"WT_SESSION", "0c3f"}}, true, false}, {{{"TERM_PROGRAM", "iTerm.app"}}, true, false},
      {{{"TERM_PROGRAM", "WezTerm"}}, true, false}, {{{"TERM_PROGRAM", "vscode"}}, true, false},
      {{{"TERM_PROGRAM", "Apple_Terminal"}}, false, false}, {{{"NELK_REFLOW", "1"}}, true, false},
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
    std::string shown;
    for (const auto& [name, value] : c.environment) shown += name + "=" + value + " ";
    EXPECT_EQ(choice.Rewraps, c.rewraps) << shown;
    EXPECT_EQ(choice.Bad_Setting, c.bad) << shown;
  }
}

}  // namespace
