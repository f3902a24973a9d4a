// Pure text operations on command lines: builtin recognition, the command
// word, quote removal and the "./" prefix. Blank means the space character only.
#include <array>
#include <utility>

#include "nk-shell.hpp"

namespace nk::shell {

Builtin_Command Recognize_Builtin(std::string_view line) {
  static constexpr std::array<std::pair<std::string_view, Builtin_Command>, 7> Names{{
      {"ALIAS", Builtin_Command::ALIAS},
      {"UNALIAS", Builtin_Command::UNALIAS},
      {"CD", Builtin_Command::CD},
      {"SET", Builtin_Command::SET},
      {"UNSET", Builtin_Command::UNSET},
      {"PUT", Builtin_Command::PUT},
      {"PUT_LINE", Builtin_Command::PUT_LINE},
  }};
  std::string_view candidate;
  if (const std::size_t blank = line.find(' '); blank != std::string_view::npos) {
    candidate = line.substr(0, blank);  // empty when the line begins with a blank
  } else {
    // No blank at all, so the line is the word (an empty line names nothing).
    candidate = line;
  }
  for (const auto& [name, command] : Names) {
    if (text::Equal_Ignoring_Case(candidate, name)) return command;
  }
  return Builtin_Command::NONE;
}

std::string Command_Name(std::string_view line) {
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t blank = line.find(' ');
  // A line that begins with a blank is handed on whole, so the caller sees it is no bare word.
  if (blank == std::string_view::npos || blank < first) return std::string(line);
  return std::string(line.substr(first, blank - first));
}

std::string Remove_Quotes(std::string_view text) {
  std::string result;
  for (const char c : text) {
    if (c != '"') result.push_back(c);
  }
  return result.empty() ? std::string(text) : result;
}

std::string Strip_Dot_Slash(std::string_view name) {
  if (name.size() >= 3 && name.substr(0, 2) == "./") return std::string(name.substr(2));
  return std::string(name);
}

}  // namespace nk::shell
