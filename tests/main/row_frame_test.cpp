// The one-row frame: prompt and line fitted to the terminal's width.
#include <gtest/gtest.h>

#include <string>

#include "screen/prompt.hpp"

namespace {

using namespace nk::main;

const std::string P = "XTERM:  1.0%: 12:00:00: 0.00$ ";  // 30 columns

// The row of a frame: what follows its second carriage return.
std::string Row(const Row_Frame& frame) {
  return frame.Bytes.substr(frame.Bytes.rfind('\r') + 1);
}

TEST(RowFrame, PromptAndLineFitTheWidthOrShowTheirTail) {
  const std::u32string xs20(20, U'x');
  const struct {
    std::size_t width;
    std::u32string line;
    std::string row;
    std::size_t columns;
  } cases[] = {
      // clang-format off
      {80, U"ls", P + "ls", 32},
      {80, std::u32string(50, U'y'), P + "<" + std::string(48, 'y'), 79},
      {40, U"123456789", P + "123456789", 39},  // the last column stays free
      {40, U"1234567890", P + "<34567890", 39},
      {40, xs20 + U"end", P + "<xxxxxend", 39},
      // Wide characters: whole at the cut, or left out with their column unused.
      {40, U"\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e", P + "<\u8a9e\u65e5\u672c\u8a9e", 39},
      {40, U"\u65e5\u672c\u8a9e\u65e5\u672c\u8a9ex", P + "<\u65e5\u672c\u8a9ex", 38},
      // A combining mark is kept with its base, never alone after the marker.
      {40, U"xe\u0301" + std::u32string(8, U'a'), P + "<aaaaaaaa", 39},
      {40, U"xxxxxxxxxe\u0301", P + "<xxxxxxxe\u0301", 39},
      // Raw bytes and control characters: one visible replacement column each.
      {40, U"a\xDCFF\x1b", P + "a\ufffd\ufffd", 33},
      // Not even the prompt fits: its tail.
      {10, U"ls -l", "<: 0.00$ ", 9},
      {31, U"l", std::string("<") + P.substr(1), 30},
      {32, U"ls", P + "<", 31},
      // clang-format on
  };
  for (const auto& c : cases) {
    const Row_Frame frame = Build_Row_Frame(P, c.line, c.width, 0);
    EXPECT_EQ(Row(frame), c.row) << c.width;
    EXPECT_EQ(frame.Columns, c.columns) << c.width << " " << c.row;
  }
}

TEST(RowFrame, BlanksEraseExactlyWhatThePreviousFrameUsed) {
  // A long line, then shorter ones: each frame blanks the last one's columns, no more.
  std::size_t previous = 0;
  const struct {
    std::size_t width;
    std::u32string line;
    std::size_t blanks;
  } steps[] = {
      {40, std::u32string(200, U'x'), 0},
      {40, U"abc", 9},
      {40, U"", 3},
      {80, U"\u65e5\u672c", 0},
      {80, U"", 4},
      {80, std::u32string(60, U'y'), 0},
      {40, U"", 9},  // after a resize to fewer columns, only what the row can hold
  };
  for (const auto& step : steps) {
    const Row_Frame frame = Build_Row_Frame(P, step.line, step.width, previous);
    EXPECT_EQ(frame.Bytes.substr(0, 1 + P.size()), "\r" + P);
    EXPECT_EQ(frame.Bytes.substr(1 + P.size(), step.blanks + 1),
              std::string(step.blanks, ' ') + "\r")
        << step.width << " after " << previous;
    previous = frame.Columns;
  }
}

}  // namespace
