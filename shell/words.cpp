// Splitting a command line into words and a "name=value" assignment.
#include "nk-shell.hpp"

namespace nk::shell {

// Quoted stretches keep their quotes and end the word at the closing quote; a backslash
// makes the next character ordinary and is dropped. A lone backslash at the very end has
// nothing to protect and is kept, so no typed character silently disappears.
std::vector<std::string> Split_Words(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  const auto finish = [&] {
    if (in_word) words.push_back(std::move(word));
    word.clear();
    in_word = false;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      word.push_back(line[++i]);
      in_word = true;
    } else if (c == '"') {
      word.push_back(c);
      in_word = true;
      if (quoted) finish();
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      finish();
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  finish();  // an unclosed quote runs to the end of the line
  return words;
}

std::optional<Assignment> Split_Assignment(std::string_view line) {
  const std::size_t equal = line.find('=');
  if (equal == std::string_view::npos) return std::nullopt;
  // The name starts after the last blank before the '=', or at the line's first character.
  const std::size_t blank = line.substr(0, equal).rfind(' ');
  const std::size_t name_start = blank == std::string_view::npos ? 0 : blank + 1;
  // The '=' itself is non-blank, so the last non-blank character exists and is at or after it.
  const std::size_t last = line.find_last_not_of(' ');
  return Assignment{std::string(line.substr(name_start, equal - name_start)),
                    std::string(line.substr(equal + 1, last - equal))};
}

}  // namespace nk::shell
