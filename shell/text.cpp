// Pure text operations on command lines: narrowing, builtin recognition, the command
// word, quote removal and the "./" prefix. Blank means the space character only.
#include <array>
#include <utility>

#include "shell/nk-shell.hpp"

namespace nk::shell {

std::string Narrow(std::u32string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char32_t c : text) {
    // Characters without a Latin-1 form become blanks rather than wrapped bytes, which
    // could otherwise turn into quotes or other characters that mean something to a shell.
    result.push_back(c > 0xFF ? ' ' : static_cast<char>(static_cast<unsigned char>(c)));
  }
  return result;
}

Wide_String Widen(std::string_view text) {
  Wide_String result;
  result.reserve(text.size());
  for (const char c : text) result.push_back(static_cast<unsigned char>(c));
  return result;
}

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
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      const char c = candidate[i];
      same = ((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c) == name[i];
    }
    if (same) return command;
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
