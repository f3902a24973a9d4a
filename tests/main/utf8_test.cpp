#include "main/utf8.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using nk::main::Encode_Utf8;

// Every character the reader yields from `bytes`; the end is reported again after the end.
std::u32string Decode_All(const std::string& bytes) {
  std::size_t next = 0;
  nk::main::Utf8_Reader reader([&]() -> std::optional<unsigned char> {
    return next == bytes.size() ? std::nullopt
                                : std::optional(static_cast<unsigned char>(bytes[next++]));
  });
  std::u32string text;
  while (const auto c = reader.Next()) {
    text += *c;
  }
  EXPECT_FALSE(reader.Next().has_value());
  return text;
}

TEST(Utf8, DecodesWellFormedAndSkipsIllFormedInput) {
  const std::tuple<const char*, std::string, std::u32string> cases[] = {
      {"ascii and controls", "ls\t\x1b\x7f", U"ls\t\x1b\x7f"},
      {"two bytes", "\xc3\xa9t\xc3\x85", U"\u00e9t\u00c5"},
      {"three bytes", "\xe2\x82\xac", U"\u20ac"},
      {"beyond U+FFFF kept whole", "a\xf0\x9f\x98\x80z", U"a\U0001F600z"},
      {"last character", "\xf4\x8f\xbf\xbf", U"\U0010FFFF"},
      {"stray continuation", "a\x80\xbfz", U"az"},
      {"overlong two-byte slash", "\xc0\xafx", U"x"},
      {"overlong three-byte", "\xe0\x80\xafx", U"x"},
      {"surrogate", "\xed\xa0\x80x", U"x"},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80x", U"x"},
      {"never-used bytes", "\xf5\xfe\xffx", U"x"},
      {"cut short by ascii", "\xe2\x82Z", U"Z"},
      {"cut short by a lead byte", "\xe2\xc3\xa9", U"\u00e9"},
      {"cut short by the end", "ok\xf0\x9f\x98", U"ok"},
      {"empty", "", U""},
  };
  for (const auto& [what, bytes, characters] : cases) {
    EXPECT_EQ(Decode_All(bytes), characters) << what;
  }
}

TEST(Utf8, EncodesEveryLengthReplacesNonCharactersAndDecodesBack) {
  const std::pair<std::u32string, std::string> cases[] = {
      {U"ls -l", "ls -l"},
      {U"\u00e9\u00c5", "\xc3\xa9\xc3\x85"},
      {U"\u20ac", "\xe2\x82\xac"},
      {U"\U0001F600", "\xf0\x9f\x98\x80"},
      {std::u32string(1, char32_t{0xD800}), "\xef\xbf\xbd"},
      {std::u32string(1, char32_t{0x110000}), "\xef\xbf\xbd"},
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(Encode_Utf8(text), bytes);
  }
  const std::u32string text = U"a\u00ff\u0100\u07ff\u0800\uffff\U00010000\U0010FFFF";
  EXPECT_EQ(Decode_All(Encode_Utf8(text)), text);
}

}  // namespace
