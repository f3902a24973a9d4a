#include "main/utf8.hpp"

#include <utility>

namespace nk::main {

namespace {

constexpr bool Is_Continuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

// Length of the sequence that `lead` starts and the least value it may carry (smaller
// is an overlong form); length 0 for a byte that starts nothing.
struct Lead {
  int Length;
  char32_t Least;
};
constexpr Lead Classify(unsigned char lead) {
  if (lead >= 0xC2U && lead <= 0xDFU) {
    return {2, 0x80};
  }
  if (lead >= 0xE0U && lead <= 0xEFU) {
    return {3, 0x800};
  }
  if (lead >= 0xF0U && lead <= 0xF4U) {
    return {4, 0x10000};
  }
  return {0, 0};
}

constexpr bool Is_Character(char32_t value) {
  return value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

}  // namespace

std::optional<unsigned char> Utf8_Reader::Take() {
  if (held_) {
    return std::exchange(held_, std::nullopt);
  }
  return source_();
}

std::optional<char32_t> Utf8_Reader::Next() {
  for (;;) {
    const auto lead = Take();
    if (!lead) {
      return std::nullopt;
    }
    if (*lead < 0x80U) {
      return static_cast<char32_t>(*lead);
    }
    const auto [length, least] = Classify(*lead);
    if (length == 0) {
      continue;  // stray continuation or a byte UTF-8 never uses
    }
    char32_t value = *lead & (0xFFU >> (length + 1));
    bool whole = true;
    for (int i = 1; i < length; ++i) {
      const auto next = Take();
      if (!next) {
        return std::nullopt;  // cut off by the end of input
      }
      if (!Is_Continuation(*next)) {
        held_ = next;
        whole = false;
        break;
      }
      value = (value << 6) | (*next & 0x3FU);
    }
    if (whole && value >= least && Is_Character(value)) {
      return value;
    }
  }
}

std::string Encode_Utf8(std::u32string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char32_t c : text) {
    if (!Is_Character(c)) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

}  // namespace nk::main
