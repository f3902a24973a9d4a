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
    if (whole && value >= least && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
      return value;
    }
  }
}

}  // namespace nk::main
