// The value rule (decimal text to hundredths) and the image of the total.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "shared/nk-shared.hpp"

namespace nk::shared {
namespace {

constexpr auto Smallest = std::numeric_limits<Hundredths>::min();
constexpr auto Largest = std::numeric_limits<Hundredths>::max();

TEST(TotalValueRule, ConvertsDecimalTextExactlyRoundingHalvesAwayFromZero) {
  const struct {
    std::string text;
    Hundredths count;
  } cases[] = {
      {"0", 0},
      {"12.34", 1234},
      {"12.345", 1235},
      {"-12.345", -1235},
      {"12.346", 1235},
      {"12.344", 1234},
      {"1.005", 101},  // 100.49999... in binary floating point
      {"-1.005", -101},
      {"0.995", 100},
      {"-0.005", -1},
      {"0.0049999999", 0},
      {"-0.0049999999", 0},
      {"0.1", 10},
      {"+5", 500},
      {"-0", 0},
      {"  7.5  ", 750},
      {"-999999.99", -99999999},
      {"999999.99", 99999999},
      {"000000000000000000000000000000000000000001.5", 150},
      {"1.000000000000000000000000000000000000000000000001", 100},
      {"21474836.47", Largest},
      {"21474836.474999", Largest},
      {"-21474836.48", Smallest},
      {"-21474836.484", Smallest},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(To_Hundredths(c.text), c.count) << '"' << c.text << '"';
  }
}

TEST(TotalValueRule, RejectsTextThatIsNotADecimalNumber) {
  const std::string cases[] = {
      "",     "   ", "abc", "1.",  ".5",  "+",    "-",     "1e3",  "1,5", "1_000",
      "0x10", "--1", "+-1", "1 2", "\t1", "1\t",  "1.2.3", "1. 5", "- 1", "5-",
      "1.5a", "one", "١",   "+.5", "-.",  "1..2", "1\n",   "\n",
  };
  for (const auto& text : cases) {
    EXPECT_THROW(To_Hundredths(text), Conversion_Error) << '"' << text << '"';
  }
}

TEST(TotalValueRule, CountsBeyondThirtyTwoBitsAreConversionErrors) {
  const std::string cases[] = {
      "21474836.48",
      "21474836.475",  // rounds up past the largest count
      "-21474836.485",
      "-21474836.49",
      "4294967296",
      std::string(300, '9'),
      "1" + std::string(200, '0') + ".5",
      "-" + std::string(500, '7') + "." + std::string(500, '3'),
  };
  for (const auto& text : cases) {
    EXPECT_THROW(To_Hundredths(text), Conversion_Error) << text.substr(0, 40);
  }
}

TEST(TotalImage, BlankOrMinusUnitsPointTwoDigits) {
  const struct {
    Hundredths count;
    const char* image;
  } cases[] = {
      {0, " 0.00"},
      {1250, " 12.50"},
      {-5, "-0.05"},
      {7, " 0.07"},
      {-100, "-1.00"},
      {100, " 1.00"},
      {1234, " 12.34"},
      {99999999, " 999999.99"},
      {-99999999, "-999999.99"},
      {Largest, " 21474836.47"},
      {Smallest, "-21474836.48"},
      {-1001, "-10.01"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Image(c.count), c.image);
  }
}

TEST(TotalImage, ReadsBackToTheSameCount) {
  for (std::int64_t count = Total_First; count <= Total_Last; count += 99'991) {
    const auto value = static_cast<Hundredths>(count);
    EXPECT_EQ(To_Hundredths(Image(value)), value) << Image(value);
  }
  for (Hundredths value = -1000; value <= 1000; ++value) {
    ASSERT_EQ(To_Hundredths(Image(value)), value) << Image(value);
  }
}

}  // namespace
}  // namespace nk::shared
