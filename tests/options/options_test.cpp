// The switch parser and the configuration reader; their merge is seen end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nk-options.hpp"

namespace nk::options {
namespace {

using Arguments = std::vector<std::string>;
using parameters::Slot;

// "F=[x] t": the switches marked as given, with their values.
std::string Summary(const Option_Array& options) {
  std::string text;
  for (const auto& row : parameters::Option_Table) {
    const auto& option = options[Slot(row.Option)];
    if (!option.Present) continue;
    if (!text.empty()) text += ' ';
    text += row.Switch;
    if (option.Value) text += "=[" + text::Encode_Utf8(*option.Value) + "]";
  }
  return text;
}

TEST(OptionsParse, MarksSwitchesAndKeepsTheLastValue) {
  const std::pair<Arguments, std::string> cases[] = {
      // clang-format off
      {{}, ""}, {{"-hvt"}, "h v t"}, {{"-a", "5"}, "a=[5]"}, {{"-a12.50"}, "a=[12.50]"},
      {{"-a", "5", "-a", "7"}, "a=[7]"}, {{"-a", "-5"}, "a=[-5]"}, {{"-F", "-t"}, "F=[-t]"},
      {{"-hFmy.conf"}, "F=[my.conf] h"}, {{"-tN", "xterm"}, "N=[xterm] t"},
      {{"foo", "-t", "bar"}, "t"}, {{"-i", ""}, "i=[]"},
      {{"-F", "caf\xc3\xa9.conf"}, "F=[caf\xc3\xa9.conf]"} /* decoded, then encoded */,
      {{"-r", "3", "-i", "4", "-t", "-t"}, "i=[4] r=[3] t"},
      // clang-format on
  };
  for (const auto& [arguments, marked] : cases) {
    EXPECT_EQ(Summary(Parse_Command_Line(arguments)), marked) << marked;
  }
  // Values are decoded from UTF-8, so bad bytes are refused.
  for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80", "a\x80"}) {
    EXPECT_THROW(Parse_Command_Line(Arguments{"-a", bad}), Text_Conversion_Error);
  }
}

// The message is the line the user sees; its status says the usage was wrong.
TEST(OptionsParse, BadSwitchesAreOneLineNamingThem) {
  const std::string invalid = "Invalid Switch ", missing = "No parameter for ";
  const std::pair<Arguments, std::string> cases[] = {
      // clang-format off
      {{"-x"}, invalid + "-x"}, {{"-hx"}, invalid + "-x"}, {{"-f"}, invalid + "-f"},
      {{"-H"}, invalid + "-H"}, {{"--help"}, invalid + "--help"}, {{"--"}, invalid + "--"},
      {{"-"}, invalid + "-"}, {{"-t", "-é"}, invalid + "-é"}, {{"-a", "1", "-?"}, invalid + "-?"},
      {{"-F"}, missing + "F"}, {{"-t", "-a"}, missing + "a"}, {{"-hr"}, missing + "r"},
      {{"-i", "1", "-i"}, missing + "i"},
      // clang-format on
  };
  for (const auto& [arguments, message] : cases) {
    try {
      (void)Parse_Command_Line(arguments);
      ADD_FAILURE() << message;
    } catch (const errors::Startup_Error& error) {
      EXPECT_EQ(error.what(), message);
      EXPECT_EQ(error.Exit_Status(), errors::Usage_Status);
    }
  }
}

TEST(ConfigurationParse, FirstCharacterSelectsTheRestIsTheValue) {
  const std::pair<std::string, std::string> cases[] = {
      // clang-format off
      {"", ""}, {"Nxterm", "N=[xterm]"}, {"N xterm\n", "N=[ xterm]"}, {"Nxterm \n", "N=[xterm ]"},
      {"a1\na2\n", "a=[2]"}, {"hello\nvery\ntotal", "h v t"}, {"i12.5\r\n", "i=[12.5\r]"},
      {"# note\n xterm\nx=1\n", ""},  // any other first character: a comment
      {"Ncaf\xc3\xa9\n", "N=[caf\xc3\xa9]"},
      {"\xe2\x82\xac\n", ""},  // a first character above U+00FF selects nothing
      {"t\n\n", "t"},          // the empty last line only ends the file
      // clang-format on
  };
  for (const auto& [content, marked] : cases) {
    EXPECT_EQ(Summary(Parse_Configuration(content, "test")), marked) << content;
  }
}

TEST(ConfigurationParse, BrokenLinesAreErrorsNamingFileAndLine) {
  const std::pair<std::string, std::string> cases[] = {
      // clang-format off
      {"\n", "line 1: empty line"}, {"\n\n", "line 1: empty line"},
      {"t\n\n\n", "line 2: empty line"}, {"t\na\n", "line 2: a needs a value right after it"},
      {"F", "line 1: F needs a value right after it"},
      {"N\nt\n", "line 1: N needs a value right after it"},
      // clang-format on
  };
  for (const auto& [content, message] : cases) {
    try {
      Parse_Configuration(content, "test");
      ADD_FAILURE() << "accepted: " << content;
    } catch (const Configuration_Error& error) {
      EXPECT_EQ(std::string(error.what()), "configuration file test, " + message);
    }
  }
  EXPECT_THROW(Parse_Configuration("\xc3\n", "test"), Text_Conversion_Error);
}

}  // namespace
}  // namespace nk::options
