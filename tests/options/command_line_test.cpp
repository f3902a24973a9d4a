// The switch scanner: grouping, glued and separate values, last value wins, errors.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "options/nk-options.hpp"

namespace nk::options {
namespace {

using parameters::Slot;

// "h v t" style summary of the marked options, with values: "a=5 t".
std::string Summary(const Option_Array& options) {
  std::string text;
  for (const auto& row : parameters::Option_Table) {
    const auto& option = options[Slot(row.Option)];
    if (option.Present) {
      text += text.empty() ? "" : " ";
      text += row.Switch;
      if (option.Value) {
        text += "=" + Encode_Utf8(*option.Value);
      }
    }
  }
  return text;
}

TEST(OptionsParse, MarksSwitchesAndKeepsTheLastValue) {
  const struct {
    std::vector<std::string> arguments;
    std::string marked;
  } cases[] = {
      {{}, ""},
      {{"-hvt"}, "h v t"},
      {{"-vt"}, "v t"},
      {{"-a", "5"}, "a=5"},
      {{"-a5"}, "a=5"},
      {{"-a12.50"}, "a=12.50"},
      {{"-a", "5", "-a", "7"}, "a=7"},
      {{"-a", "-5"}, "a=-5"},
      {{"-F", "-t"}, "F=-t"},
      {{"-F", "-h"}, "F=-h"},
      {{"-hFmy.conf"}, "F=my.conf h"},
      {{"-tN", "xterm"}, "N=xterm t"},
      {{"foo", "-t", "bar"}, "t"},
      {{"-i", "1.5"}, "i=1.5"},
      {{"-i", ""}, "i="},
      {{"-N", "é"}, "N=é"},
      {{"-r", "3", "-i", "4", "-t", "-t"}, "i=4 r=3 t"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    const auto options = Parse_Command_Line(c.arguments, out);
    EXPECT_EQ(Summary(options), c.marked);
    EXPECT_EQ(out.str(), "");
  }
}

TEST(OptionsParse, ValuesAreDecodedFromUtf8) {
  std::ostringstream out;
  const auto options = Parse_Command_Line(std::vector<std::string>{"-F", "caf\xc3\xa9.conf"}, out);
  EXPECT_EQ(options[Slot(Option_Kind::CONFIG_FILENAME)].Value, U"caf\u00e9.conf");
  for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80", "a\x80"}) {
    EXPECT_THROW(Parse_Command_Line(std::vector<std::string>{"-a", std::string(bad)}, out),
                 Text_Conversion_Error);
  }
}

TEST(OptionsParse, InvalidSwitchesPrintOneLineNamingThem) {
  const struct {
    std::vector<std::string> arguments;
    std::string line;
  } cases[] = {
      {{"-x"}, "Invalid Switch -x\n"},
      {{"-hx"}, "Invalid Switch -x\n"},
      {{"-f"}, "Invalid Switch -f\n"},
      {{"-H"}, "Invalid Switch -H\n"},
      {{"-T"}, "Invalid Switch -T\n"},
      {{"--x"}, "Invalid Switch --x\n"},
      {{"--help"}, "Invalid Switch --help\n"},
      {{"--"}, "Invalid Switch --\n"},
      {{"-"}, "Invalid Switch -\n"},
      {{"-t", "-é"}, "Invalid Switch -é\n"},
      {{"-a", "1", "-?"}, "Invalid Switch -?\n"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    EXPECT_THROW(Parse_Command_Line(c.arguments, out), Invalid_Switch) << c.line;
    EXPECT_EQ(out.str(), c.line);
  }
}

TEST(OptionsParse, ValueSwitchAtTheEndHasNoParameter) {
  const struct {
    std::vector<std::string> arguments;
    std::string line;
  } cases[] = {
      {{"-N"}, "No parameter for N\n"},
      {{"-F"}, "No parameter for F\n"},
      {{"-t", "-a"}, "No parameter for a\n"},
      {{"-hr"}, "No parameter for r\n"},
      {{"-i", "1", "-i"}, "No parameter for i\n"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    EXPECT_THROW(Parse_Command_Line(c.arguments, out), errors::Spec_Error) << c.line;
    EXPECT_EQ(out.str(), c.line);
  }
}

}  // namespace
}  // namespace nk::options
