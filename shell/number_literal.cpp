// Number literals of typed entries: exact, overflow-free, total over every input text.
#include "number_literal.hpp"

#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

namespace nk::shell {
namespace {

// Exponents beyond this behave alike (every non-zero value is already out of float range),
// and the cap keeps the arithmetic below from overflowing.
constexpr std::int64_t Exponent_Cap = 1'000'000;

// Value of the digit `c`, or 99 when `c` is no digit at all.
unsigned Digit_Value(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 99;
}

// Reads digits of `base` from `pos`, single underscores between digits allowed; appends
// their values to `digits`. False when there is no digit or an underscore is misplaced.
bool Scan_Digits(std::string_view text, std::size_t& pos, unsigned base,
                 std::vector<unsigned>& digits) {
  bool want_digit = true;
  while (pos < text.size()) {
    const unsigned value = Digit_Value(text[pos]);
    if (value < base) {
      digits.push_back(value);
      want_digit = false;
    } else if (text[pos] == '_' && !want_digit) {
      want_digit = true;  // "1__0" and "1_" fail: an underscore needs a digit after it
    } else {
      break;
    }
    ++pos;
  }
  return !want_digit;
}

// Decimal value of `digits`, saturated at Exponent_Cap.
std::int64_t Saturated_Value(const std::vector<unsigned>& digits) {
  std::int64_t value = 0;
  for (const unsigned digit : digits) {
    value = value * 10 + digit;
    if (value > Exponent_Cap) return Exponent_Cap;
  }
  return value;
}

// Reads E or e, an optional sign (only '+' unless `allow_minus`) and decimal digits.
// Absent exponent: true and 0. Malformed exponent: false.
bool Scan_Exponent(std::string_view text, std::size_t& pos, bool allow_minus,
                   std::int64_t& exponent) {
  exponent = 0;
  if (pos == text.size()) return true;
  if (text[pos] != 'E' && text[pos] != 'e') return false;
  ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || (allow_minus && text[pos] == '-'))) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::vector<unsigned> digits;
  if (!Scan_Digits(text, pos, 10, digits)) return false;
  exponent = negative ? -Saturated_Value(digits) : Saturated_Value(digits);
  return true;
}

// The float nearest to `digits` (decimal text) times ten to `exponent`, with the sign
// applied; beyond the float range an infinity, below it a zero, each of that sign.
float Round_To_Float(bool negative, std::string digits, std::int64_t exponent) {
  const std::size_t first = digits.find_first_not_of('0');
  const float sign = negative ? -1.0F : 1.0F;
  if (first == std::string::npos) return sign * 0.0F;
  digits.erase(0, first);
  // The value lies in [10^(order-1), 10^order).
  const std::int64_t order = static_cast<std::int64_t>(digits.size()) + exponent;
  if (order > 40) return sign * std::numeric_limits<float>::infinity();
  if (order < -50) return sign * 0.0F;
  const std::string text = digits + 'e' + std::to_string(exponent);
  float value = 0.0F;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific);
  if (error == std::errc::result_out_of_range) {
    return order > 0 ? sign * std::numeric_limits<float>::infinity() : sign * 0.0F;
  }
  return sign * value;
}

// Decimal text of the integer sum(digits[i] * base^(n-1-i)) * base^exponent, computed with
// 32-bit limbs; callers keep it below 2^129 so the limbs stay few.
std::string Decimal_Text(const std::vector<unsigned>& digits, unsigned base,
                         std::int64_t exponent) {
  std::vector<std::uint32_t> limbs;  // least significant first
  const auto multiply_add = [&limbs](std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs.push_back(static_cast<std::uint32_t>(carry));
  };
  for (const unsigned digit : digits) multiply_add(base, digit);
  for (std::int64_t i = 0; i < exponent; ++i) multiply_add(base, 0);
  std::string text;
  while (!limbs.empty()) {
    std::uint64_t remainder = 0;
    for (std::size_t i = limbs.size(); i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    text.insert(text.begin(), static_cast<char>('0' + remainder));
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
  }
  return text.empty() ? std::string("0") : text;
}

// The integer literal's value: an INT when it fits 32 signed bits, else the nearest float.
Number_Literal Integer_Value(bool negative, std::vector<unsigned> digits, unsigned base,
                             std::int64_t exponent) {
  std::size_t first = 0;
  while (first < digits.size() && digits[first] == 0) ++first;
  digits.erase(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(first));
  Number_Literal result;
  if (digits.empty()) {
    result.Is_Integer = true;  // zero with any exponent, "-0" included
    return result;
  }
  // Checked before any product is formed, so nothing can overflow.
  const std::uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
  std::uint64_t magnitude = 0;
  bool fits = true;
  for (const unsigned digit : digits) {
    magnitude = magnitude * base + digit;
    if (magnitude > limit) {
      fits = false;
      break;
    }
  }
  for (std::int64_t i = 0; fits && i < exponent; ++i) {
    magnitude *= base;
    fits = magnitude <= limit;
  }
  if (fits) {
    result.Is_Integer = true;
    result.Integer = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                              : static_cast<std::int32_t>(magnitude);
    return result;
  }
  if (base == 10) {
    std::string text;
    for (const unsigned digit : digits) text.push_back(static_cast<char>('0' + digit));
    result.Real = Round_To_Float(negative, text, exponent);
  } else if (static_cast<std::int64_t>(digits.size()) - 1 + exponent >= 129) {
    // At least base^128 >= 2^128: beyond every float.
    result.Real = (negative ? -1.0F : 1.0F) * std::numeric_limits<float>::infinity();
  } else {
    result.Real = Round_To_Float(negative, Decimal_Text(digits, base, exponent), 0);
  }
  return result;
}

}  // namespace

std::optional<Number_Literal> Parse_Number(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::vector<unsigned> whole;
  if (!Scan_Digits(text, pos, 10, whole)) return std::nullopt;
  std::int64_t exponent = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    std::vector<unsigned> fraction;
    if (!Scan_Digits(text, pos, 10, fraction)) return std::nullopt;
    if (!Scan_Exponent(text, pos, true, exponent) || pos != text.size()) return std::nullopt;
    std::string digits;
    for (const unsigned digit : whole) digits.push_back(static_cast<char>('0' + digit));
    for (const unsigned digit : fraction) digits.push_back(static_cast<char>('0' + digit));
    Number_Literal result;
    result.Real =
        Round_To_Float(negative, digits, exponent - static_cast<std::int64_t>(fraction.size()));
    return result;
  }
  unsigned base = 10;
  std::vector<unsigned> digits = whole;
  if (pos < text.size() && text[pos] == '#') {
    const std::int64_t base_value = Saturated_Value(whole);
    if (base_value < 2 || base_value > 16) return std::nullopt;
    base = static_cast<unsigned>(base_value);
    ++pos;
    digits.clear();
    if (!Scan_Digits(text, pos, base, digits)) return std::nullopt;
    if (pos == text.size() || text[pos] != '#') return std::nullopt;
    ++pos;
  }
  if (!Scan_Exponent(text, pos, false, exponent) || pos != text.size()) return std::nullopt;
  return Integer_Value(negative, std::move(digits), base, exponent);
}

}  // namespace nk::shell
