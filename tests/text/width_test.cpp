// Display columns: what the terminal is given for each character and how wide it is.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "nk-text.hpp"

namespace nk::text {
namespace {

constexpr char32_t Raw(unsigned char byte) {
  return 0xDC00 + byte;
}

TEST(Width, EachCharacterIsShownAsItselfOrAsOneReplacementColumn) {
  constexpr char32_t R = Replacement_Character;
  const struct {
    char32_t c;
    char32_t shown;
    std::size_t columns;
  } cases[] = {
      // clang-format off
      // ASCII and Latin-1 letters: one column.
      {U'a', U'a', 1}, {U' ', U' ', 1}, {U'~', U'~', 1}, {U'\u00e9', U'\u00e9', 1},
      {U'\u00ff', U'\u00ff', 1},
      // CJK, full-width forms and emoji: two.
      {U'\u65e5', U'\u65e5', 2}, {U'\u3000', U'\u3000', 2}, {U'\uff21', U'\uff21', 2},
      {U'\U0001F600', U'\U0001F600', 2},
      // Combining marks and zero-width characters: none.
      {U'\u0301', U'\u0301', 0}, {U'\u200b', U'\u200b', 0}, {U'\ufe0f', U'\ufe0f', 0},
      // What cannot be shown as itself: one replacement column. Raw bytes, controls
      // (an escape in a file name must not reach the terminal), values without UTF-8.
      {Raw(0xE9), R, 1}, {Raw(0x80), R, 1}, {Raw(0xFF), R, 1}, {U'\0', R, 1}, {U'\a', R, 1},
      {U'\x1b', R, 1}, {U'\n', R, 1}, {U'\x7f', R, 1}, {U'\u0085', R, 1}, {U'\u009f', R, 1},
      {0xD800, R, 1}, {0x110000, R, 1}, {U'\U0010FFFF', R, 1}, {R, R, 1},
      // clang-format on
  };
  for (const auto& c : cases) {
    const Cell cell = Shown_Cell(c.c);
    EXPECT_EQ(cell.Shown, c.shown) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(cell.Columns, c.columns) << std::hex << static_cast<unsigned>(c.c);
  }
}

TEST(Width, TextsAddUpAndEncodeWhatIsShown) {
  const std::u32string mixed = U"ab \u00e9\u65e5\u672c e\u0301\U0001F600";
  EXPECT_EQ(Display_Columns(mixed), 12U);
  EXPECT_EQ(Encode_Shown(mixed), Encode_Utf8(mixed)) << "printable text is its UTF-8";
  // A name with invalid bytes: each byte one visible replacement column.
  const std::u32string broken = Decode_Utf8("bad\xff\xfe.txt");
  EXPECT_EQ(Display_Columns(broken), 9U);
  EXPECT_EQ(Encode_Shown(broken), "bad\xef\xbf\xbd\xef\xbf\xbd.txt");
  EXPECT_EQ(Encode_Shown(U"a\x1b[2Jb"), "a\xef\xbf\xbd[2Jb");
  EXPECT_EQ(Display_Columns(U""), 0U);
  // The widths come without changing the process's own locale.
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

}  // namespace
}  // namespace nk::text
