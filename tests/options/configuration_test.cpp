// The configuration file: line rules, errors, and reading from disk.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "options/nk-options.hpp"

namespace nk::options {
namespace {

using parameters::Slot;

std::string Summary(const Option_Array& options) {
  std::string text;
  for (const auto& row : parameters::Option_Table) {
    const auto& option = options[Slot(row.Option)];
    if (option.Present) {
      text += text.empty() ? "" : " ";
      text += row.Switch;
      if (option.Value) {
        text += "=[" + Encode_Utf8(*option.Value) + "]";
      }
    }
  }
  return text;
}

TEST(ConfigurationParse, FirstCharacterSelectsTheRestIsTheValue) {
  const struct {
    std::string content;
    std::string marked;
  } cases[] = {
      {"", ""},
      {"Nxterm", "N=[xterm]"},
      {"Nxterm\n", "N=[xterm]"},
      {"N xterm\n", "N=[ xterm]"},
      {"Nxterm \n", "N=[xterm ]"},
      {"Nlinux\na2.5\n", "N=[linux] a=[2.5]"},
      {"a1\na2\n", "a=[2]"},
      {"h\n", "h"},
      {"hello\nvery\ntotal", "h v t"},
      {"this is a note\n", "t"},
      {"# note\n xterm\nx=1\n", ""},
      {"Fother.conf\n", "F=[other.conf]"},
      {"i12.5\r\n", "i=[12.5\r]"},
      {"Ncaf\xc3\xa9\n", "N=[café]"},
      {"\xe2\x82\xac\n", ""},  // a first character above U+00FF selects nothing
      {"t\n\n", "t"},          // the empty last line only ends the file
      {"r-3\nt", "r=[-3] t"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Summary(Parse_Configuration(c.content, "test")), c.marked) << c.content;
  }
}

TEST(ConfigurationParse, BrokenLinesAreErrorsNamingFileAndLine) {
  const struct {
    std::string content;
    std::string message;
  } cases[] = {
      {"a1\n\na2\n", "configuration file test, line 2: empty line"},
      {"\n", "configuration file test, line 1: empty line"},
      {"\n\n", "configuration file test, line 1: empty line"},
      {"t\n\n\n", "configuration file test, line 2: empty line"},
      {"t\na\n", "configuration file test, line 2: a needs a value right after it"},
      {"F", "configuration file test, line 1: F needs a value right after it"},
      {"N\nt\n", "configuration file test, line 1: N needs a value right after it"},
      {"i\n", "configuration file test, line 1: i needs a value right after it"},
      {"r", "configuration file test, line 1: r needs a value right after it"},
  };
  for (const auto& c : cases) {
    try {
      Parse_Configuration(c.content, "test");
      ADD_FAILURE() << "accepted: " << c.content;
    } catch (const Configuration_Error& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
  EXPECT_THROW(Parse_Configuration("t\na\xff\n", "test"), Text_Conversion_Error);
  EXPECT_THROW(Parse_Configuration("\xc3\n", "test"), Text_Conversion_Error);
}

TEST(ConfigurationFile, ReadsFromDiskAndFailsOnMissingOrDirectory) {
  auto pattern = (std::filesystem::temp_directory_path() / "nk-config-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "my.conf", std::ios::binary) << "a5\nt";
  EXPECT_EQ(Summary(Read_Configuration_File((dir / "my.conf").string())), "a=[5] t");
  EXPECT_THROW(Read_Configuration_File((dir / "missing.conf").string()), File_Open_Error);
  EXPECT_THROW(Read_Configuration_File(dir.string()), File_Open_Error);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace nk::options
