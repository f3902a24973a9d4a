#include <algorithm>

#include "nk-text.hpp"

namespace nk::text {

std::string Narrow(std::u32string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char32_t c : text) {
    bytes += c > 0xFF ? ' ' : static_cast<char>(static_cast<unsigned char>(c));
  }
  return bytes;
}

Wide_String Widen(std::string_view text) {
  Wide_String result;
  result.reserve(text.size());
  for (const char c : text) {
    result += static_cast<unsigned char>(c);
  }
  return result;
}

bool Is_Latin1(std::u32string_view text) {
  return std::ranges::all_of(text, [](char32_t c) { return c <= 0xFF; });
}

}  // namespace nk::text
