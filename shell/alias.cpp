#include "nk-shell.hpp"

namespace nk::shell {

std::string_view Alias_Word(std::string_view line) {
  const std::size_t blank = line.find(' ');
  const std::size_t last = line.find_last_not_of(' ');
  if (blank != std::string_view::npos && last != std::string_view::npos && blank < last) {
    return line.substr(0, blank);
  }
  return last == std::string_view::npos ? line.substr(0, 0) : line.substr(0, last + 1);
}

std::optional<std::string> Substitute_Alias(std::string_view line, const Attribut_Table& aliases) {
  const std::string_view word = Alias_Word(line);
  for (const Attribut_Record& entry : aliases.Entries()) {
    if (Entry_Name(entry) != word) {
      continue;
    }
    std::string rebuilt = Image(entry);
    const std::size_t blank = line.find(' ');
    if (blank != std::string_view::npos) {
      rebuilt += ' ';
      rebuilt += line.substr(blank + 1);
    }
    return Remove_Quotes(rebuilt);
  }
  return std::nullopt;
}

}  // namespace nk::shell
