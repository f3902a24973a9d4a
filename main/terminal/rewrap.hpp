// Whether the terminal re-wraps its rows when the window narrows, from the environment:
// the terminals that do announce themselves there. A wrong yes erases a row of earlier
// output at every shrink; a wrong no leaves a stale prompt row; so an unknown terminal
// is taken not to.
#pragma once

#include <functional>
#include <string_view>

namespace nk::main {
// Looks up one environment variable: nullptr when unset (std::getenv will do).
using Environment_Lookup = std::function<const char*(const char*)>;

struct Rewrap_Choice {
  bool Rewraps = false;
  bool Bad_Setting = false;  // NELK_REFLOW is set to something other than 1 or 0
};

// NELK_REFLOW=1 or 0 decides. Else TMUX says yes (tmux re-wraps whatever runs it); else
// XTERM_VERSION says no (xterm cuts rows, and sets it itself, while a terminal started from
// another inherits the other's variables); else the variables or TERM_PROGRAM names of the
// terminals that re-wrap say yes. Anything else, the Linux console included, is no.
Rewrap_Choice Choose_Rewrap(const Environment_Lookup& lookup);

// The line printed at start-up for a bad NELK_REFLOW.
inline constexpr std::string_view Bad_Reflow_Setting =
    "NELK_REFLOW is neither 1 nor 0: ignored, the terminal's kind decides";
}  // namespace nk::main
