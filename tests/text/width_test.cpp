// Display columns: what the terminal is given for each character and how wide it is.
#include <gtest/gtest.h>

#include <clocale>

#include "nk-text.hpp"

namespace nk::text {
namespace {

TEST(Width, EachCharacterIsShownAsItselfOrAsOneReplacementColumn) {
  constexpr char32_t R = Replacement_Character;
  const struct {
    char32_t c, shown;
    std::size_t columns;
  } cases[] = {
      // clang-format off
      {U'a', U'a', 1}, {U'~', U'~', 1}, {U'\u00e9', U'\u00e9', 1}, {U'\u00ff', U'\u00ff', 1},
      {U'\u65e5', U'\u65e5', 2}, {U'\uff21', U'\uff21', 2}, {U'\U0001F600', U'\U0001F600', 2},
      {U'\u0301', U'\u0301', 0}, {U'\u200b', U'\u200b', 0},
      // Raw bytes, controls (no escape sequence may reach the terminal), no UTF-8 form.
      {0xDC80, R, 1}, {0xDCFF, R, 1}, {U'\0', R, 1}, {U'\x1b', R, 1}, {U'\n', R, 1},
      {U'\x7f', R, 1}, {U'\u0085', R, 1}, {0xD800, R, 1}, {0x110000, R, 1}, {R, R, 1},
      // clang-format on
  };
  for (const auto& c : cases) {
    const Cell cell = Shown_Cell(c.c);
    EXPECT_EQ(cell.Shown, c.shown) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(cell.Columns, c.columns) << std::hex << static_cast<unsigned>(c.c);
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
