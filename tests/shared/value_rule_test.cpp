// The value rule: decimal text to hundredths. The image of the total: tests/e2e/oneshot_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "nk-shared.hpp"

namespace nk::shared {
namespace {

TEST(TotalValueRule, ConvertsDecimalTextExactlyRoundingHalvesAwayFromZero) {
  const std::pair<std::string, Hundredths> cases[] = {
      // clang-format off
      {"0", 0}, {"12.345", 1235}, {"-12.345", -1235}, {"12.344", 1234},
      {"1.005", 101} /* 100.49999... in binary floating point */, {"-1.005", -101},
      {"0.995", 100}, {"-0.005", -1}, {"0.0049999999", 0}, {"-0.0049999999", 0}, {"0.1", 10},
      {"+5", 500}, {"-0", 0}, {"  7.5  ", 750}, {"-999999.99", -99999999},
      {"000000000000000000000000000000000000000001.5", 150},
      {"1.000000000000000000000000000000000000000000000001", 100},
      {"21474836.474999", 2147483647}, {"-21474836.484", -2147483647 - 1},
      // clang-format on
  };
  for (const auto& [text, count] : cases) EXPECT_EQ(To_Hundredths(text), count) << text;
}

TEST(TotalValueRule, RejectsTextThatIsNotADecimalNumberOrBeyondThirtyTwoBits) {
  const std::string cases[] = {
      // clang-format off
      "", "   ", "abc", "1.", ".5", "+", "-", "1e3", "1,5", "1_000", "0x10", "--1", "+-1", "1 2",
      "\t1", "1\t", "1.2.3", "1. 5", "- 1", "5-", "1.5a", "١", "+.5", "-.", "1..2", "1\n", "\n",
      "21474836.48", "21474836.475" /* rounds up past the largest count */, "-21474836.485",
      "-21474836.49", "4294967296", std::string(300, '9'), "1" + std::string(200, '0') + ".5",
      "-" + std::string(500, '7') + "." + std::string(500, '3'),
      // clang-format on
  };
  for (const auto& text : cases)
    EXPECT_THROW(To_Hundredths(text), Conversion_Error) << '"' << text.substr(0, 40) << '"';
}

}  // namespace
}  // namespace nk::shared
