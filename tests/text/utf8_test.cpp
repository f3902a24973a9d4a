// UTF-8, blanks and letter case, and what the terminal is given for each character.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <tuple>

#include "nk-text.hpp"

namespace nk::text {
namespace {

// Raw byte b, as the decoder gives it.
constexpr char32_t R(unsigned b) {
  return 0xDC00 + b;
}

TEST(Utf8, DecodesEachInvalidByteAsItselfAndEncodesEveryLength) {
  const std::tuple<const char*, std::string, std::u32string> cases[] = {
      // clang-format off
      {"well-formed", "ls\t\x1b\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf",
       U"ls\t\x1b\x7f\u00e9\u20ac\U0001F600\U0010FFFF"}, {"empty", "", U""},
      {"stray continuation", "a\x80\xbfz", {U'a', R(0x80), R(0xbf), U'z'}},
      {"overlong two-byte", "\xc0\x80\xc1\xbf", {R(0xc0), R(0x80), R(0xc1), R(0xbf)}},
      {"overlong three-byte", "\xe0\x80\x80\xe0\x9f\xbfx",
       {R(0xe0), R(0x80), R(0x80), R(0xe0), R(0x9f), R(0xbf), U'x'}},
      {"overlong four-byte", "\xf0\x80\x80\x80\xf0\x8f\xbf\xbf",
       {R(0xf0), R(0x80), R(0x80), R(0x80), R(0xf0), R(0x8f), R(0xbf), R(0xbf)}},
      {"surrogates", "\xed\xa0\x80\xed\xbf\xbfx",
       {R(0xed), R(0xa0), R(0x80), R(0xed), R(0xbf), R(0xbf), U'x'}},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", {R(0xf4), R(0x90), R(0x80), R(0x80)}},
      {"never-used bytes", "\xf5\x80\xf7\xbf\xbf\xbf\xf8\xfe\xff",
       {R(0xf5), R(0x80), R(0xf7), R(0xbf), R(0xbf), R(0xbf), R(0xf8), R(0xfe), R(0xff)}},
      {"cut short by ascii", "\xe2\x82Z", {R(0xe2), R(0x82), U'Z'}},
      {"cut short by a lead byte", "\xe2\xc3\xa9", {R(0xe2), U'\u00e9'}},
      {"cut short by the end", "ok\xf0\x9f\x98", {U'o', U'k', R(0xf0), R(0x9f), R(0x98)}},
      {"a two-byte lead cut short by the end", "\xc3", {R(0xc3)}},
      // clang-format on
  };
  for (const auto& [what, bytes, characters] : cases) {
    EXPECT_EQ(Decode_Utf8(bytes), characters) << what;
    EXPECT_EQ(Encode_Utf8(characters), bytes) << what;  // every byte string comes back
    const bool valid = std::ranges::none_of(characters, Is_Raw_Byte);
    EXPECT_EQ(Invalid_Utf8_At(bytes).has_value(), !valid) << what;
  }
  EXPECT_EQ(Invalid_Utf8_At("ab\xc3\xa9\xff"), 5U);
  // Each length's first and last character; what has no UTF-8 form becomes U+FFFD.
  const std::u32string text = U"a\u007f\u0080\u07ff\u0800\uffff\U00010000\U0010FFFF";
  EXPECT_EQ(Decode_Utf8(Encode_Utf8(text)), text);
  EXPECT_EQ(Encode_Utf8(std::u32string{0xD800, 0x110000}), "\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(Utf8, ReaderStopsAtTheCharacterItReturns) {
  // A key must not wait for the next key: nothing past a whole character is read.
  const std::string bytes = "\xc3\xa9";
  std::size_t next = 0;
  Utf8_Reader reader([&]() -> std::optional<unsigned char> {
    return next < bytes.size() ? std::optional<unsigned char>(bytes[next++]) : std::nullopt;
  });
  EXPECT_EQ(reader.Next(), U'\u00e9');
  EXPECT_EQ(next, 2U);
  EXPECT_EQ(reader.Next(), std::nullopt);
  EXPECT_EQ(reader.Next(), std::nullopt);
}

TEST(Text, BlanksAndLetterCase) {
  EXPECT_EQ(Trim_Blanks("  a b \t "), "a b \t");
  EXPECT_FALSE(Equal_Ignoring_Case("\xc3\xa9", "\xc3\x89"));  // ASCII letters only
  EXPECT_EQ(Narrow(U"a\u00e9\u20ac"), "a\xe9 ");
  EXPECT_EQ(Widen("a\xe9"), U"a\u00e9");
}

TEST(Width, EachCharacterIsShownAsItselfOrAsOneReplacementColumn) {
  constexpr char32_t Q = Replacement_Character;
  const struct {
    char32_t c, shown;
    std::size_t columns;
  } cases[] = {
      // clang-format off
      {U'a', U'a', 1}, {U'~', U'~', 1}, {U'\u00e9', U'\u00e9', 1}, {U'\u00ff', U'\u00ff', 1},
      {U'\u65e5', U'\u65e5', 2}, {U'\uff21', U'\uff21', 2}, {U'\U0001F600', U'\U0001F600', 2},
      {U'\u0301', U'\u0301', 0}, {U'\u200b', U'\u200b', 0},
      // Raw bytes, controls (no escape sequence may reach the terminal), no UTF-8 form.
      {0xDC80, Q, 1}, {0xDCFF, Q, 1}, {U'\0', Q, 1}, {U'\x1b', Q, 1}, {U'\n', Q, 1},
      {U'\x7f', Q, 1}, {U'\u0085', Q, 1}, {0xD800, Q, 1}, {0x110000, Q, 1}, {Q, Q, 1},
      // clang-format on
  };
  for (const auto& c : cases) {
    const Cell cell = Shown_Cell(c.c);
    EXPECT_EQ(std::pair(cell.Shown, cell.Columns), std::pair(c.shown, c.columns))
        << std::hex << static_cast<unsigned>(c.c);
  }
  const std::u32string mixed = U"ab \u00e9\u65e5\u672c e\u0301\U0001F600";
  EXPECT_EQ(Display_Columns(mixed), 12U);
  EXPECT_EQ(Encode_Shown(mixed), Encode_Utf8(mixed));
  const std::u32string broken = Decode_Utf8("bad\xff\xfe.txt");
  EXPECT_EQ(Display_Columns(broken), 9U);
  EXPECT_EQ(Encode_Shown(broken), "bad\xef\xbf\xbd\xef\xbf\xbd.txt");
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C") << "the process's locale is untouched";
}

}  // namespace
}  // namespace nk::text
