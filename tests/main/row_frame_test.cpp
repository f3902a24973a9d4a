#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "screen/frame.hpp"

namespace {

using namespace nk::main;

const std::string P = "XTERM:  1.0%: 12:00:00: 0.00$ ";  // 30 columns

TEST(RowFrame, FitsTheWidthOrShowsTheTailAndBlanksWhatThePreviousFrameUsed) {
  // Width, line, what follows the second CR and its columns, the last frame's columns, blanks.
  using Size = std::size_t;
  const std::tuple<Size, std::u32string, std::string, Size, Size, Size> cases[] = {
      // clang-format off
      {80, U"ls", P + "ls", 32, 0, 0},
      {40, U"123456789", P + "123456789", 39, 0, 0},  // the last column stays free
      {40, U"1234567890", P + "<34567890", 39, 0, 0},
      // Wide characters: whole at the cut, or left out with their column unused.
      {40, U"\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e", P + "<\u8a9e\u65e5\u672c\u8a9e", 39, 0, 0},
      {40, U"\u65e5\u672c\u8a9e\u65e5\u672c\u8a9ex", P + "<\u65e5\u672c\u8a9ex", 38, 0, 0},
      // A combining mark is kept with its base, never alone after the marker.
      {40, U"xe\u0301" + std::u32string(8, U'a'), P + "<aaaaaaaa", 39, 0, 0},
      {40, U"xxxxxxxxxe\u0301", P + "<xxxxxxxe\u0301", 39, 0, 0},
      // Raw bytes and control characters: one visible replacement column each.
      {40, U"a\xDCFF\x1b", P + "a\ufffd\ufffd", 33, 0, 0},
      // Not even the prompt fits: its tail.
      {10, U"ls -l", "<: 0.00$ ", 9, 0, 0},
      {31, U"l", std::string("<") + P.substr(1), 30, 0, 0},
      {32, U"ls", P + "<", 31, 0, 0},
      // Blanks cover the previous frame's columns past the prompt, whatever the line, and
      // after a resize to fewer columns only what the row can hold.
      {40, U"abc", P + "abc", 33, 39, 9},
      {40, U"", P, 30, 33, 3},
      {80, U"ls", P + "ls", 32, 20, 0},
      {40, U"", P, 30, 79, 9},
      // clang-format on
  };
  for (const auto& [width, line, row, columns, previous, blanks] : cases) {
    const Row_Frame frame = Build_Row_Frame(P, line, width, previous);
    std::string expected = "\r" + (row.starts_with(P) ? P : row);  // drawn before the blanks
    expected += std::string(blanks, ' ') + "\r" + row;
    EXPECT_EQ(frame.Bytes, expected) << width << " after " << previous;
    EXPECT_EQ(frame.Columns, columns) << width << " " << row;
  }
}

}  // namespace
