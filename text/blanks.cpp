#include <algorithm>

#include "nk-text.hpp"

namespace nk::text {

std::string_view Trim_Blanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return text.substr(0, 0);
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool Equal_Ignoring_Case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return To_Upper(x) == To_Upper(y); });
}

}  // namespace nk::text
