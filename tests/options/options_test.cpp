// The switch parser, the configuration reader, and Main_Interface's merge of the command
// line over the configuration file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "options/nk-interfaces.hpp"
#include "options/nk-options.hpp"

namespace nk::options {
namespace {

namespace fs = std::filesystem;
using Arguments = std::vector<std::string>;
using parameters::Slot;

// "F=[x] t": the switches `marked` reports as given, with their values.
template <class Lookup>
std::string Summary(Lookup marked) {
  std::string text;
  for (const auto& row : parameters::Option_Table) {
    const auto [present, value] = marked(row.Option);
    if (!present) continue;
    if (!text.empty()) text += ' ';
    text += row.Switch;
    if (value) text += "=[" + Encode_Utf8(*value) + "]";
  }
  return text;
}
std::string Summary(const Option_Array& options) {
  return Summary([&](Option_Kind kind) {
    return std::pair(options[Slot(kind)].Present, options[Slot(kind)].Value);
  });
}
std::string Summary(const interfaces::Interface_Record& record) {
  return Summary([&](Option_Kind kind) {
    const auto parameter = record.Get_Parameter(kind);
    return std::pair(parameter.Set, parameter.Value);
  });
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
    std::ostringstream out;
    EXPECT_EQ(Summary(Parse_Command_Line(arguments, out)), marked) << marked;
    EXPECT_EQ(out.str(), "");
  }
  std::ostringstream out;  // values are decoded from UTF-8, so bad bytes are refused
  for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80", "a\x80"}) {
    EXPECT_THROW(Parse_Command_Line(Arguments{"-a", bad}, out), Text_Conversion_Error);
  }
}

TEST(OptionsParse, BadSwitchesPrintOneLineNamingThem) {
  const std::pair<Arguments, std::string> invalid[] = {
      // clang-format off
      {{"-x"}, "-x"}, {{"-hx"}, "-x"}, {{"-f"}, "-f"}, {{"-H"}, "-H"}, {{"--help"}, "--help"},
      {{"--"}, "--"}, {{"-"}, "-"}, {{"-t", "-é"}, "-é"}, {{"-a", "1", "-?"}, "-?"},
      // clang-format on
  };
  for (const auto& [arguments, bad] : invalid) {
    std::ostringstream out;
    EXPECT_THROW(Parse_Command_Line(arguments, out), Invalid_Switch) << bad;
    EXPECT_EQ(out.str(), "Invalid Switch " + bad + "\n");
  }
  const std::pair<Arguments, char> missing[] = {
      {{"-F"}, 'F'}, {{"-t", "-a"}, 'a'}, {{"-hr"}, 'r'}, {{"-i", "1", "-i"}, 'i'}};
  for (const auto& [arguments, letter] : missing) {
    std::ostringstream out;
    EXPECT_THROW(Parse_Command_Line(arguments, out), errors::Spec_Error) << letter;
    EXPECT_EQ(out.str(), std::string("No parameter for ") + letter + "\n");
  }
}

TEST(ConfigurationParse, FirstCharacterSelectsTheRestIsTheValue) {
  const std::pair<std::string, std::string> cases[] = {
      // clang-format off
      {"", ""}, {"Nxterm", "N=[xterm]"}, {"N xterm\n", "N=[ xterm]"}, {"Nxterm \n", "N=[xterm ]"},
      {"Nlinux\na2.5\n", "N=[linux] a=[2.5]"}, {"a1\na2\n", "a=[2]"},
      {"hello\nvery\ntotal", "h v t"}, {"# note\n xterm\nx=1\n", ""}, {"i12.5\r\n", "i=[12.5\r]"},
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
      {"a1\n\na2\n", "line 2: empty line"}, {"\n", "line 1: empty line"},
      {"\n\n", "line 1: empty line"}, {"t\n\n\n", "line 2: empty line"},
      {"t\na\n", "line 2: a needs a value right after it"},
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
  EXPECT_THROW(Parse_Configuration("t\na\xff\n", "test"), Text_Conversion_Error);
  EXPECT_THROW(Parse_Configuration("\xc3\n", "test"), Text_Conversion_Error);
}

// Runs in a fresh directory, where ".config_file" is the default configuration file.
class Interface : public ::testing::Test {
 protected:
  void SetUp() override {
    auto pattern = (fs::temp_directory_path() / "nk-interface-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(start_);
    fs::remove_all(dir_);
  }
  static void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
  }

  const fs::path start_ = fs::current_path();
  fs::path dir_;
};

TEST_F(Interface, CommandLineWinsOverTheConfigurationFile) {
  Put("other.conf", "h\n");
  Put("my.conf", "Nvt100\ni9\n");
  const struct {
    std::string config_file;  // content of ".config_file"; empty: none
    Arguments arguments;
    std::string set;
  } cases[] = {
      {"", {"-t"}, "t"},
      {"Nlinux\na2.5\n", {"-a", "1"}, "N=[linux] a=[1]"},
      {"Nlinux\n", {"-N", "xterm"}, "N=[xterm]"},
      {"t\n", {"-v"}, "v t"},
      {"Fother.conf\nt\n", {}, "F=[other.conf] t"},
      {"a1\n", {"-F", "my.conf"}, "F=[my.conf] N=[vt100] i=[9]"},
      {"a1\n", {"-F", "my.conf", "-N", "linux"}, "F=[my.conf] N=[linux] i=[9]"},
  };
  for (const auto& c : cases) {
    fs::remove(".config_file");
    if (!c.config_file.empty()) Put(".config_file", c.config_file);
    interfaces::Interface_Record record;
    std::ostringstream out;
    record.Initialize(c.arguments, out);
    EXPECT_EQ(Summary(record), c.set) << c.config_file;
    EXPECT_EQ(out.str(), "");
  }
  interfaces::Interface_Record record;
  EXPECT_THROW(record.Get_Parameter(Option_Kind::HELP), std::out_of_range);  // not initialized
  std::ostringstream out;
  record.Initialize(Arguments{"-t"}, out);
  EXPECT_THROW(record.Get_Parameter(Option_Kind::NONE), std::out_of_range);
}

}  // namespace
}  // namespace nk::options
