// The switch parser and the configuration reader; their merge is seen end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nk-options.hpp"

namespace nk::options {
namespace {

// The switches given, with their values ("F=[x] t"), or the error's status and line.
template <typename Parse>
std::string Outcome(Parse parse) {
  try {
    const Option_Array options = parse();
    std::string text;
    for (const auto& row : parameters::Option_Table) {
      const auto& option = options[parameters::Slot(row.Option)];
      if (!option.Present) continue;
      if (!text.empty()) text += ' ';
      text += row.Switch;
      if (option.Value) text += "=[" + text::Encode_Utf8(*option.Value) + "]";
    }
    return text;
  } catch (const errors::Startup_Error& error) {
    return std::to_string(error.Exit_Status()) + ": " + error.what();
  }
}

TEST(Options, CommandLineMarksSwitchesKeepsTheLastValueAndNamesABadSwitch) {
  const std::string invalid = "2: Invalid Switch ", missing = "2: No parameter for ";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      // clang-format off
      {{}, ""}, {{"-hvt"}, "h v t"}, {{"-a", "5"}, "a=[5]"}, {{"-a12.50"}, "a=[12.50]"},
      {{"-a", "5", "-a", "7"}, "a=[7]"}, {{"-a", "-5"}, "a=[-5]"}, {{"-F", "-t"}, "F=[-t]"},
      {{"-hFmy.conf"}, "F=[my.conf] h"}, {{"-tN", "xterm"}, "N=[xterm] t"},
      {{"foo", "-t", "bar"}, "t"}, {{"-i", ""}, "i=[]"},
      {{"-F", "caf\xc3\xa9.conf"}, "F=[caf\xc3\xa9.conf]"} /* decoded, then encoded */,
      {{"-r", "3", "-i", "4", "-t", "-t"}, "i=[4] r=[3] t"},
      // Which bytes are not UTF-8: tests/text/utf8_test.cpp.
      {{"-a", "a\x80"}, "2: value of -a: not valid UTF-8 at byte 2"},
      {{"-x"}, invalid + "-x"}, {{"-hx"}, invalid + "-x"}, {{"-f"}, invalid + "-f"},
      {{"-H"}, invalid + "-H"}, {{"--help"}, invalid + "--help"}, {{"--"}, invalid + "--"},
      {{"-"}, invalid + "-"}, {{"-t", "-é"}, invalid + "-é"}, {{"-a", "1", "-?"}, invalid + "-?"},
      {{"-F"}, missing + "F"}, {{"-t", "-a"}, missing + "a"}, {{"-hr"}, missing + "r"},
      {{"-i", "1", "-i"}, missing + "i"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Outcome([&c] { return Parse_Command_Line(c.first); }), c.second) << c.second;
  }
}

TEST(Options, ConfigurationLineFirstCharacterSelectsTheRestIsTheValue) {
  const std::string at = "2: configuration file test, line ";
  const std::pair<std::string, std::string> cases[] = {
      // clang-format off
      {"", ""}, {"Nxterm", "N=[xterm]"}, {"N xterm\n", "N=[ xterm]"}, {"Nxterm \n", "N=[xterm ]"},
      {"a1\na2\n", "a=[2]"}, {"hello\nvery\ntotal", "h v t"}, {"i12.5\r\n", "i=[12.5]"},
      {"# note\n xterm\nx=1\n", ""},  // any other first character: a comment
      {"Ncaf\xc3\xa9\n", "N=[caf\xc3\xa9]"},
      {"\xe2\x82\xac\n", ""},  // a first character above U+00FF selects nothing
      {"t\n\n", "t"},          // the empty last line only ends the file
      {"\n", at + "1: empty line"}, {"\n\n", at + "1: empty line"},
      {"t\n\n\n", at + "2: empty line"}, {"t\na\n", at + "2: a needs a value right after it"},
      {"F", at + "1: F needs a value right after it"},
      {"N\nt\n", at + "1: N needs a value right after it"},
      {"t\n\xc3\n", at + "2: not valid UTF-8 at byte 1"},
      // Windows: a byte order mark, lines ending in CR LF.
      {"\xef\xbb\xbfNxterm\r\nt\r\n\r\n", "N=[xterm] t"}, {"t\r\n\r\nt", at + "2: empty line"},
      {"t\n\xef\xbb\xbfh\n", "t"} /* only at the start */, {"Nx\r\r\n", "N=[x\r]"},
      {std::string(65536, 'x') + "\r\nt", "t"},
      {"t\n" + std::string(65537, 'x'), at + "2: longer than 65536 bytes"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Outcome([&c] { return Parse_Configuration(c.first, "test"); }), c.second) << c.first;
  }
}

}  // namespace
}  // namespace nk::options
