// The type rule of typed entries and the images of their values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "nk-shell.hpp"

namespace nk::shell {
namespace {

TEST(Values, TypeRuleAndImages) {
  using enum Value_Type;
  const std::string ones(5000, '1');
  const struct {
    std::string text;
    Value_Type kind;
    std::string image;
  } cases[] = {
      // clang-format off
      // Booleans in any case, blanks around but no tabs.
      {"true", BOO, "TRUE"}, {"  TRUE  ", BOO, "TRUE"}, {"fAlSe ", BOO, "FALSE"},
      {"TRUEX", STR, "TRUEX"}, {"\tTRUE", STR, "\tTRUE"},
      // Decimal integers and the 32-bit boundaries.
      {" 42 ", INT, " 42"}, {"+5", INT, " 5"}, {"-5", INT, "-5"}, {"-0", INT, " 0"},
      {"1_000", INT, " 1000"}, {"0000000000000000000000000000012", INT, " 12"},
      {"2147483647", INT, " 2147483647"}, {"2147483648", FLT, " 2.14748E+09"},
      {"-2147483648", INT, "-2147483648"}, {"-2147483649", FLT, "-2.14748E+09"},
      {"99999999999", FLT, " 1.00000E+11"},
      // Based integers.
      {"16#ff#", INT, " 255"}, {"2#1111_0000#", INT, " 240"}, {"8#777#", INT, " 511"},
      {"-16#10#", INT, "-16"}, {"016#1#", INT, " 1"}, {"2#1#E3", INT, " 8"},
      {"16#F#e1", INT, " 240"}, {"-16#80000000#", INT, "-2147483648"},
      {"16#7FFFFFFF#", INT, " 2147483647"}, {"16#80000000#", FLT, " 2.14748E+09"},
      {"16#FFFFFFFF#", FLT, " 4.29497E+09"}, {"2#1#E127", FLT, " 1.70141E+38"},
      {"2#1#E128", FLT, " +Inf"}, {"16#FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF#", FLT, " +Inf"},
      {"-16#FFFFFF0000000000000000000000000#", FLT, "-2.12676E+37"},
      // Integer exponents.
      {"1e+3", INT, " 1000"}, {"-2E1_0", FLT, "-2.00000E+10"}, {"2E9", INT, " 2000000000"},
      {"3E9", FLT, " 3.00000E+09"}, {"0E99999999999999999999", INT, " 0"},
      {"1E40", FLT, " +Inf"}, {"-1E40", FLT, "-Inf"}, {"1E99999999999999999999999", FLT, " +Inf"},
      // Reals, rounded once to single precision.
      {"1.5", FLT, " 1.50000E+00"}, {"-1.5E3", FLT, "-1.50000E+03"},
      {"2.0e-2", FLT, " 2.00000E-02"}, {"-0.0025", FLT, "-2.50000E-03"},
      {"1_0.2_5", FLT, " 1.02500E+01"}, {"0.0", FLT, " 0.00000E+00"},
      {"3.4028235E38", FLT, " 3.40282E+38"}, {"3.5E38", FLT, " +Inf"},
      {"1.0E-50", FLT, " 0.00000E+00"}, {"-1.0e-50", FLT, "-0.00000E+00"},
      {"16777217.0", FLT, " 1.67772E+07"},
      // Very long literals.
      {ones, FLT, " +Inf"}, {"-" + ones, FLT, "-Inf"},
      {"0." + std::string(5000, '0') + "1", FLT, " 0.00000E+00"},
      {"1" + std::string(38, '0') + ".0", FLT, " 1.00000E+38"},
      {"0." + std::string(30, '0') + "15", FLT, " 1.50000E-31"},
      // Texts are kept character for character.
      {"", STR, ""}, {"\"ls -l\"", STR, "\"ls -l\""}, {"  a b  ", STR, "  a b  "},
      // clang-format on
  };
  for (const auto& c : cases) {
    const Attribut_Record entry = Create("v", c.text);
    EXPECT_EQ(static_cast<int>(entry.Value_Kind), static_cast<int>(c.kind)) << "[" << c.text << "]";
    EXPECT_EQ(Image(entry), c.image) << "[" << c.text << "]";
    EXPECT_EQ(entry.String_Value.has_value(), c.kind == STR) << "[" << c.text << "]";
  }
}

TEST(Values, MalformedNumbersStayText) {
  for (const char* text :
       {"1__0",   "_1",     "1_",     "0x10",  "- 5",   "--5",      "5 5",    "+",
        "-",      "1.",     ".5",     "1.5E",  "1.5E+", "1E",       "1E_3",   "1E-3",
        "1E-50",  "1..5",   "1,5",    "\t5",   "5\t",   "1.5.2",    "1E3E3",  "E3",
        "1_.5",   "1._5",   "2#102#", "17#1#", "1#0#",  "0#0#",     "16#FF",  "16##",
        "16#_F#", "16#F_#", "#FF#",   "16#G#", "10#A#", "16#F#E-1", "16#F#1", "2#1#E"}) {
    const Attribut_Record entry = Create("v", text);
    EXPECT_EQ(entry.Value_Kind, Value_Type::STR) << text;
    EXPECT_EQ(entry.String_Value, std::optional<std::string>(text)) << text;
  }
}

// Rounded once, from the exact decimal value: no double rounding through double; the
// images' six digits cannot show this.
TEST(Values, StoredFloatsAreRoundedOnce) {
  EXPECT_EQ(Create("f", "0.1").Float_Value, 0.1F);
  EXPECT_EQ(Create("f", "16777217.0").Float_Value, 16777216.0F);
  EXPECT_EQ(Create("f", "1.00000005960464477539062500001").Float_Value, std::nextafter(1.0F, 2.0F));
  EXPECT_EQ(Create("f", "1.0E-40").Float_Value, 1.0E-40F);  // subnormal, not flushed
}

TEST(Values, ImagesOfRecordsBuiltDirectly) {
  Attribut_Record entry;
  EXPECT_EQ(Image(entry), "");  // NIL, the default
  entry.Value_Kind = Value_Type::FLT;
  entry.Float_Value = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Image(entry), " NaN");
  entry.Value_Kind = Value_Type::STR;
  EXPECT_EQ(Image(entry), "");  // no text stored
}

}  // namespace
}  // namespace nk::shell
