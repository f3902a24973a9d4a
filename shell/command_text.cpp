#include "nk-shell.hpp"

namespace nk::shell {

std::string Command_Text(std::string_view full_path, std::string_view name, std::string_view line) {
  std::string text = Quote_If_Special(full_path);
  if (name.size() < line.size()) {
    text += ' ';
    text += line.substr(name.size() + 1);
  }
  return text;
}

}  // namespace nk::shell
