#include "terminal/rewrap.hpp"

namespace nk::main {
Rewrap_Choice Choose_Rewrap(const Environment_Lookup& lookup) {
  const auto value = [&lookup](const char* name) {
    const char* found = lookup(name);
    return std::string_view(found != nullptr ? found : "");
  };
  const std::string_view setting = value("NELK_REFLOW");
  if (setting == "1" || setting == "0") {
    return {setting == "1", false};
  }
  const bool bad = lookup("NELK_REFLOW") != nullptr;
  if (!value("TMUX").empty() || !value("XTERM_VERSION").empty()) {
    return {!value("TMUX").empty(), bad};
  }
  const std::string_view program = value("TERM_PROGRAM");
  bool rewraps = program == "iTerm.app" || program == "WezTerm" || program == "vscode";
  for (const char* name :
       {"VTE_VERSION", "KONSOLE_VERSION", "KITTY_WINDOW_ID", "WEZTERM_EXECUTABLE",
        "ALACRITTY_WINDOW_ID", "ALACRITTY_SOCKET", "WT_SESSION"}) {
    rewraps = rewraps || !value(name).empty();
  }
  return {rewraps, bad};
}
}  // namespace nk::main
