// Recognition of the number literals that typed entries accept.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace nk::shell {

// A recognised number: an integer that fits 32 signed bits, or a single-precision real.
struct Number_Literal {
  bool Is_Integer = false;
  std::int32_t Integer = 0;
  float Real = 0.0F;
};

// The number written by `text` (no surrounding blanks), or nothing when `text` is not a
// literal. Integers: [sign] digits with single underscores, optionally base#digits#
// (base 2 .. 16), optionally E[+]digits. Reals: [sign] digits.digits [E[sign]digits].
// An integer too large for 32 bits becomes a real; a real beyond the single-precision
// range becomes an infinity of its sign, one too small a zero of its sign.
std::optional<Number_Literal> Parse_Number(std::string_view text);

}  // namespace nk::shell
