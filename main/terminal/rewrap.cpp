#include "terminal/rewrap.hpp"

#include <string>

namespace nk::main {

Rewrap_Choice Choose_Rewrap(const Environment_Lookup& lookup) {
  auto set = [&lookup](const char* name) {
    const char* value = lookup(name);
    return value != nullptr && *value != '\0';
  };
  Rewrap_Choice choice;
  if (const char* setting = lookup("NELK_REFLOW"); setting != nullptr) {
    const std::string_view value = setting;
    if (value == "1" || value == "0") {
      choice.Rewraps = value == "1";
      return choice;
    }
    choice.Bad_Setting = true;
  }
  if (set("TMUX")) {
    choice.Rewraps = true;
    return choice;
  }
  if (set("XTERM_VERSION")) {
    return choice;
  }
  for (const char* name :
       {"VTE_VERSION", "KONSOLE_VERSION", "KITTY_WINDOW_ID", "WEZTERM_EXECUTABLE",
        "ALACRITTY_WINDOW_ID", "ALACRITTY_SOCKET", "WT_SESSION"}) {
    if (set(name)) {
      choice.Rewraps = true;
      return choice;
    }
  }
  const char* program = lookup("TERM_PROGRAM");
  const std::string_view name = program != nullptr ? program : "";
  choice.Rewraps = name == "iTerm.app" || name == "WezTerm" || name == "vscode";
  return choice;
}

}  // namespace nk::main
