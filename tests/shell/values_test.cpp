// The type rule of typed entries and the images of their values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "shell/nk-shell.hpp"

namespace nk::shell {
namespace {

struct Typed_Case {
  std::string text;
  Value_Type kind;
  std::string image;
};

std::string Kind_Name(Value_Type kind) {
  static const char* const names[] = {"NIL", "BOO", "INT", "FLT", "STR"};
  return names[static_cast<int>(kind)];
}

void Expect_Typed(const std::vector<Typed_Case>& cases) {
  for (const Typed_Case& c : cases) {
    const Attribut_Record entry = Create("v", c.text);
    EXPECT_EQ(Kind_Name(entry.Value_Kind), Kind_Name(c.kind)) << "text [" << c.text << "]";
    EXPECT_EQ(Image(entry), c.image) << "text [" << c.text << "]";
  }
}

TEST(Values, BooleansInAnyCaseWithBlanksAround) {
  Expect_Typed({
      {"TRUE", Value_Type::BOO, "TRUE"},
      {"true", Value_Type::BOO, "TRUE"},
      {"False", Value_Type::BOO, "FALSE"},
      {"  TRUE  ", Value_Type::BOO, "TRUE"},
      {"fAlSe ", Value_Type::BOO, "FALSE"},
      {"yes", Value_Type::STR, "yes"},
      {"TRUEX", Value_Type::STR, "TRUEX"},
      {"\tTRUE", Value_Type::STR, "\tTRUE"},  // a tab is no blank
      {"T RUE", Value_Type::STR, "T RUE"},
  });
  EXPECT_TRUE(Create("b", " true ").Boolean_Value);
  EXPECT_FALSE(Create("b", "FALSE").Boolean_Value);
}

TEST(Values, DecimalIntegersAndTheirBoundaries) {
  Expect_Typed({
      {"1", Value_Type::INT, " 1"},
      {" 42 ", Value_Type::INT, " 42"},
      {"+5", Value_Type::INT, " 5"},
      {"-5", Value_Type::INT, "-5"},
      {"-0", Value_Type::INT, " 0"},
      {"007", Value_Type::INT, " 7"},
      {"1_000", Value_Type::INT, " 1000"},
      {"2147483647", Value_Type::INT, " 2147483647"},
      {"2147483648", Value_Type::FLT, " 2.14748E+09"},
      {"-2147483648", Value_Type::INT, "-2147483648"},
      {"-2147483649", Value_Type::FLT, "-2.14748E+09"},
      {"99999999999", Value_Type::FLT, " 1.00000E+11"},
      {"0000000000000000000000000000012", Value_Type::INT, " 12"},
  });
  EXPECT_EQ(Create("x", "-2147483648").Integer_Value, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(Create("x", "2147483648").Float_Value, 2147483648.0F);
}

TEST(Values, MalformedNumbersStayText) {
  for (const char* text : {"1__0", "_1",  "1_",   "0x10",  "- 5",   "--5",  "5 5",  "+",     "-",
                           "1.",   ".5",  "1.5E", "1.5E+", "1E",    "1E_3", "1E-3", "1E-50", "1..5",
                           "1,5",  "\t5", "5\t",  "1.5.2", "1E3E3", "E3",   "1_.5", "1._5"}) {
    const Attribut_Record entry = Create("v", text);
    EXPECT_EQ(Kind_Name(entry.Value_Kind), "STR") << text;
    EXPECT_EQ(entry.String_Value, std::optional<std::string>(text)) << text;
  }
}

TEST(Values, BasedIntegers) {
  Expect_Typed({
      {"16#FF#", Value_Type::INT, " 255"},
      {"16#ff#", Value_Type::INT, " 255"},
      {"2#1010#", Value_Type::INT, " 10"},
      {"2#1111_0000#", Value_Type::INT, " 240"},
      {"8#777#", Value_Type::INT, " 511"},
      {"-16#10#", Value_Type::INT, "-16"},
      {"016#1#", Value_Type::INT, " 1"},
      {"2#1#E3", Value_Type::INT, " 8"},
      {"16#F#e1", Value_Type::INT, " 240"},
      {"-16#80000000#", Value_Type::INT, "-2147483648"},
      {"16#7FFFFFFF#", Value_Type::INT, " 2147483647"},
      {"16#80000000#", Value_Type::FLT, " 2.14748E+09"},
      {"16#FFFFFFFF#", Value_Type::FLT, " 4.29497E+09"},
      {"2#1#E127", Value_Type::FLT, " 1.70141E+38"},
      {"2#1#E128", Value_Type::FLT, " +Inf"},
      {"16#FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF#", Value_Type::FLT, " +Inf"},
      {"-16#FFFFFF0000000000000000000000000#", Value_Type::FLT, "-2.12676E+37"},
  });
  for (const char* text : {"2#102#", "17#1#", "1#0#", "0#0#", "16#FF", "16##", "16#_F#", "16#F_#",
                           "#FF#", "16#G#", "10#A#", "16#F#E-1", "16#F#1", "2#1#E"}) {
    EXPECT_EQ(Kind_Name(Create("v", text).Value_Kind), "STR") << text;
  }
}

TEST(Values, IntegerExponents) {
  Expect_Typed({
      {"1E3", Value_Type::INT, " 1000"},
      {"1e+3", Value_Type::INT, " 1000"},
      {"-2E1_0", Value_Type::FLT, "-2.00000E+10"},
      {"1E9", Value_Type::INT, " 1000000000"},
      {"2E9", Value_Type::INT, " 2000000000"},
      {"3E9", Value_Type::FLT, " 3.00000E+09"},
      {"0E99999999999999999999", Value_Type::INT, " 0"},
      {"1E40", Value_Type::FLT, " +Inf"},
      {"-1E40", Value_Type::FLT, "-Inf"},
      {"1E99999999999999999999999", Value_Type::FLT, " +Inf"},
  });
}

TEST(Values, RealsRoundedToSinglePrecision) {
  Expect_Typed({
      {"1.0", Value_Type::FLT, " 1.00000E+00"},
      {"1.5", Value_Type::FLT, " 1.50000E+00"},
      {"3.25", Value_Type::FLT, " 3.25000E+00"},
      {"-1.5E3", Value_Type::FLT, "-1.50000E+03"},
      {"2.0e-2", Value_Type::FLT, " 2.00000E-02"},
      {"-0.0025", Value_Type::FLT, "-2.50000E-03"},
      {"1_0.2_5", Value_Type::FLT, " 1.02500E+01"},
      {"0.0", Value_Type::FLT, " 0.00000E+00"},
      {"1.0E+38", Value_Type::FLT, " 1.00000E+38"},
      {"3.4028235E38", Value_Type::FLT, " 3.40282E+38"},
      {"3.5E38", Value_Type::FLT, " +Inf"},
      {"1.0E-50", Value_Type::FLT, " 0.00000E+00"},
      {"-1.0e-50", Value_Type::FLT, "-0.00000E+00"},
      {"16777217.0", Value_Type::FLT, " 1.67772E+07"},
  });
  // Rounded once, from the exact decimal value: no double rounding through double.
  EXPECT_EQ(Create("f", "0.1").Float_Value, 0.1F);
  EXPECT_EQ(Create("f", "16777217.0").Float_Value, 16777216.0F);
  EXPECT_EQ(Create("f", "1.00000005960464477539062500001").Float_Value, std::nextafter(1.0F, 2.0F));
  EXPECT_EQ(Create("f", "1.0E-40").Float_Value, 1.0E-40F);  // subnormal, not flushed
  EXPECT_TRUE(std::signbit(Create("f", "-1.0e-50").Float_Value));
}

TEST(Values, VeryLongLiteralsAreHandled) {
  const std::string ones(5000, '1');
  const std::string tiny = "0." + std::string(5000, '0') + "1";
  Expect_Typed({
      {ones, Value_Type::FLT, " +Inf"},
      {"-" + ones, Value_Type::FLT, "-Inf"},
      {tiny, Value_Type::FLT, " 0.00000E+00"},
      {"1" + std::string(38, '0') + ".0", Value_Type::FLT, " 1.00000E+38"},
      {"0." + std::string(30, '0') + "15", Value_Type::FLT, " 1.50000E-31"},
  });
}

TEST(Values, TextsAreKeptCharacterForCharacter) {
  Expect_Typed({
      {"", Value_Type::STR, ""},
      {"\"ls -l\"", Value_Type::STR, "\"ls -l\""},
      {"  a b  ", Value_Type::STR, "  a b  "},
      {"   ", Value_Type::STR, "   "},
  });
  const Attribut_Record empty = Create("e", "");
  ASSERT_TRUE(empty.String_Value.has_value());
  EXPECT_EQ(*empty.String_Value, "");
  EXPECT_FALSE(Create("n", "5").String_Value.has_value());
}

TEST(Values, NameIsCopiedUnchanged) {
  for (const char* name : {"", "X", "Mixed_Case", "with blank", "a=b"}) {
    const Attribut_Record entry = Create(name, "1");
    EXPECT_EQ(entry.Name, name);
    EXPECT_EQ(Entry_Name(entry), name);
  }
}

TEST(Values, ImagesOfRecordsBuiltDirectly) {
  Attribut_Record entry;
  EXPECT_EQ(Image(entry), "");  // NIL, the default
  entry.Value_Kind = Value_Type::INT;
  EXPECT_EQ(Image(entry), " 0");
  entry.Integer_Value = 5;
  EXPECT_EQ(Image(entry), " 5");
  entry.Integer_Value = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(Image(entry), "-2147483648");
  entry.Value_Kind = Value_Type::FLT;
  EXPECT_EQ(Image(entry), " 0.00000E+00");
  entry.Float_Value = -2.5e-3F;
  EXPECT_EQ(Image(entry), "-2.50000E-03");
  entry.Float_Value = 1.0e11F;
  EXPECT_EQ(Image(entry), " 1.00000E+11");
  entry.Float_Value = 1.25e-30F;
  EXPECT_EQ(Image(entry), " 1.25000E-30");
  entry.Float_Value = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Image(entry), " NaN");
  entry.Value_Kind = Value_Type::BOO;
  EXPECT_EQ(Image(entry), "FALSE");
  entry.Value_Kind = Value_Type::STR;
  EXPECT_EQ(Image(entry), "");  // no text stored
}

// Any text at all types without failing, and a number's image types back to the same value.
TEST(Values, ImagesOfNumbersTypeBackToTheSameValue) {
  std::mt19937 random(20261206);
  const std::string alphabet = "0123456789_#eE+-. aFfx";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 14);
    for (int i = 0; i < length; ++i) text.push_back(alphabet[random() % alphabet.size()]);
    const Attribut_Record entry = Create("r", text);
    const Attribut_Record again = Create("r", Image(entry));
    switch (entry.Value_Kind) {
      case Value_Type::INT:
        ASSERT_EQ(Kind_Name(again.Value_Kind), "INT") << text;
        ASSERT_EQ(again.Integer_Value, entry.Integer_Value) << text;
        break;
      case Value_Type::FLT:
        if (std::isfinite(entry.Float_Value)) {
          ASSERT_EQ(Kind_Name(again.Value_Kind), "FLT") << text;
          ASSERT_EQ(Image(again), Image(entry)) << text;
        }
        break;
      case Value_Type::STR:
        ASSERT_EQ(Image(entry), text);
        break;
      default:
        FAIL() << "unexpected kind " << Kind_Name(entry.Value_Kind) << " for [" << text << "]";
    }
  }
}

}  // namespace
}  // namespace nk::shell
