#include "quote.hpp"

namespace nk::shell {

std::string Shell_Quote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";  // close, escaped quote, reopen
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string Quote_If_Special(std::string_view text) {
  // Characters that keep their meaning as themselves in an unquoted word.
  constexpr std::string_view plain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@%";
  if (!text.empty() && text.find_first_not_of(plain) == std::string_view::npos) {
    return std::string(text);
  }
  return Shell_Quote(text);
}

}  // namespace nk::shell
