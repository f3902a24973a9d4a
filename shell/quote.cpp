#include "nk-shell.hpp"

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
  if (!text.empty() && text.find_first_of(Shell_Special) == std::string_view::npos) {
    return std::string(text);
  }
  return Shell_Quote(text);
}

std::string Word_Quote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size());
  for (const char c : text) {
    if (c == ' ' || c == '"' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  return quoted;
}

}  // namespace nk::shell
