#include "nelk.hpp"
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

std::string_view Image(Terminal_Kind kind) {
  switch (kind) {
    case Terminal_Kind::LINUX:
      return "LINUX";
    case Terminal_Kind::XTERM:
      return "XTERM";
    case Terminal_Kind::NONE:
      break;
  }
  return "NONE";
}

}  // namespace nk::main
