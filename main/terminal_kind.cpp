#include <algorithm>
#include <cctype>

#include "main/nelk.hpp"

namespace nk::main {

std::optional<Terminal_Kind> To_Terminal_Kind(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return std::nullopt;
  }
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  for (auto kind : {Terminal_Kind::NONE, Terminal_Kind::LINUX, Terminal_Kind::XTERM}) {
    const auto name = Image(kind);
    if (std::ranges::equal(text, name, [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) == b;
        })) {
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
