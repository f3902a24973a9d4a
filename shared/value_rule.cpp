// The value rule and the image of the total: pure text <-> hundredths conversions.
//
// Accepted value text: blanks*, an optional + or -, one or more digits, optionally a point
// followed by one or more digits, blanks*. Blanks are spaces only. No exponent, no
// underscores, no other base. Conversion is exact integer arithmetic: binary floating point
// would turn 0.125 into 0.12499999 and round it the wrong way.
#include <cstdint>
#include <string>
#include <string_view>

#include "nk-shared.hpp"
#include "nk-text.hpp"

namespace nk::shared {
namespace {

bool Is_Digit(char c) {
  return c >= '0' && c <= '9';
}

// Leading digits of `text`, consumed; empty when `text` does not start with a digit.
std::string_view Take_Digits(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && Is_Digit(text[n])) {
    ++n;
  }
  const auto digits = text.substr(0, n);
  text.remove_prefix(n);
  return digits;
}

[[noreturn]] void Reject(std::string_view text, const char* why) {
  throw Conversion_Error(std::string(why) + ": \"" + std::string(text) + "\"");
}

}  // namespace

Hundredths To_Hundredths(std::string_view text) {
  const std::string_view original = text;
  text = text::Trim_Blanks(text);
  if (text.empty()) {
    Reject(original, "not a decimal number");
  }

  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto whole = Take_Digits(text);
  std::string_view fraction;
  if (!text.empty() && text.front() == '.') {
    text.remove_prefix(1);
    fraction = Take_Digits(text);
    if (fraction.empty()) {
      Reject(original, "not a decimal number");
    }
  }
  if (whole.empty() || !text.empty()) {
    Reject(original, "not a decimal number");
  }

  // The magnitude may reach 2^31 for a negative count; anything past that is rejected as
  // soon as it is seen, so hundreds of digits never overflow the accumulator.
  const std::uint64_t limit = negative ? 2'147'483'648ULL : 2'147'483'647ULL;
  std::uint64_t count = 0;
  for (const char c : whole) {
    count = count * 10 + static_cast<std::uint64_t>(c - '0');
    if (count > limit) {
      Reject(original, "does not fit a 32-bit count of hundredths");
    }
  }
  for (std::size_t i = 0; i < 2; ++i) {
    count = count * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0);
  }
  // Halves away from zero: only the third fractional digit decides, whatever follows it.
  if (fraction.size() > 2 && fraction[2] >= '5') {
    ++count;
  }
  if (count > limit) {
    Reject(original, "does not fit a 32-bit count of hundredths");
  }
  const auto magnitude = static_cast<std::int64_t>(count);
  return static_cast<Hundredths>(negative ? -magnitude : magnitude);
}

std::string Image(Hundredths value) {
  // Widened first: the magnitude of the smallest 32-bit count does not fit 32 bits.
  const std::int64_t wide = value;
  const std::int64_t magnitude = wide < 0 ? -wide : wide;
  const auto cents = magnitude % 100;
  std::string image(1, wide < 0 ? '-' : ' ');
  image += std::to_string(magnitude / 100);
  image += '.';
  image += static_cast<char>('0' + cents / 10);
  image += static_cast<char>('0' + cents % 10);
  return image;
}

}  // namespace nk::shared
