#include "main/utf8.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using nk::main::Encode_Utf8;
using nk::main::Utf8_Reader;

// Every character the reader yields from `bytes`.
std::u32string Decode_All(const std::string& bytes) {
  std::size_t next = 0;
  Utf8_Reader reader([&]() -> std::optional<unsigned char> {
    if (next == bytes.size()) {
      return std::nullopt;
    }
    return static_cast<unsigned char>(bytes[next++]);
  });
  std::u32string text;
  while (const auto c = reader.Next()) {
    text += *c;
  }
  return text;
}

struct Decode_Case {
  const char* What;
  std::string Bytes;
  std::u32string Characters;
};

TEST(Utf8, DecodesWellFormedAndSkipsIllFormedInput) {
  const Decode_Case cases[] = {
      {"ascii and controls", "ls\t\x1b\x7f", U"ls\t\x1b\x7f"},
      {"two bytes", "\xc3\xa9t\xc3\x85", U"\u00e9t\u00c5"},
      {"three bytes", "\xe2\x82\xac", U"\u20ac"},
      {"beyond U+FFFF kept whole", "a\xf0\x9f\x98\x80z", U"a\U0001F600z"},
      {"last character", "\xf4\x8f\xbf\xbf", U"\U0010FFFF"},
      {"stray continuation",
       "a\x80\xbf"
       "b",
       U"ab"},
      {"overlong two-byte slash",
       "\xc0\xaf"
       "x",
       U"x"},
      {"overlong three-byte",
       "\xe0\x80\xaf"
       "x",
       U"x"},
      {"surrogate",
       "\xed\xa0\x80"
       "x",
       U"x"},
      {"beyond U+10FFFF",
       "\xf4\x90\x80\x80"
       "x",
       U"x"},
      {"never-used bytes",
       "\xf5\xfe\xff"
       "x",
       U"x"},
      {"cut short by ascii",
       "\xe2\x82"
       "A",
       U"A"},
      {"cut short by a lead byte", "\xe2\xc3\xa9", U"\u00e9"},
      {"cut short by the end", "ok\xf0\x9f\x98", U"ok"},
      {"empty", "", U""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode_All(c.Bytes), c.Characters) << c.What;
  }
}

TEST(Utf8, EndOfInputIsReportedAgainAfterTheEnd) {
  int calls = 0;
  Utf8_Reader reader([&]() -> std::optional<unsigned char> {
    ++calls;
    return std::nullopt;
  });
  EXPECT_FALSE(reader.Next().has_value());
  EXPECT_FALSE(reader.Next().has_value());
  EXPECT_EQ(calls, 2);
}

TEST(Utf8, EncodesEveryLengthAndReplacesNonCharacters) {
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
}

TEST(Utf8, EncodingThenDecodingGivesTheTextBack) {
  const std::u32string text = U"a\u00ff\u0100\u07ff\u0800\uffff\U00010000\U0010FFFF";
  EXPECT_EQ(Decode_All(Encode_Utf8(text)), text);
}

}  // namespace
