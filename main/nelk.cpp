#include "nelk.hpp"

#include <cstdlib>

#include "nk-text.hpp"

namespace nk::main {

std::optional<Terminal_Kind> To_Terminal_Kind(std::string_view text) {
  text = text::Trim_Blanks(text);
  for (auto kind : {Terminal_Kind::NONE, Terminal_Kind::LINUX, Terminal_Kind::XTERM}) {
    if (text::Equal_Ignoring_Case(text, Image(kind))) {
      return kind;
    }
  }
  return std::nullopt;
}

Terminal_Kind Kind_From_Environment() {
  const char* term = std::getenv("TERM");
  const std::string_view name = term != nullptr ? term : "";
  const char* family = std::getenv("NELK_XTERM_FAMILY");
  const bool xterm_family = family != nullptr && std::string_view(family) == "1";
  ::unsetenv("NELK_XTERM_FAMILY");
  if (const auto kind = To_Terminal_Kind(name)) {
    return *kind;
  }
  for (const std::string_view prefix : {"xterm-", "tmux", "screen", "rxvt"}) {
    if (xterm_family && name.starts_with(prefix)) {
      return Terminal_Kind::XTERM;
    }
  }
  return Terminal_Kind::NONE;
}

std::string_view Image(Terminal_Kind kind) {
  return kind == Terminal_Kind::LINUX ? "LINUX" : kind == Terminal_Kind::XTERM ? "XTERM" : "NONE";
}

}  // namespace nk::main
