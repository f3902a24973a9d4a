// Main_Interface: the merge of the command line over the configuration file, the help
// text, the version, and the parameter tables.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "options/nk-interfaces.hpp"
#include "options/nk-versions-version_io.hpp"

namespace nk::interfaces {
namespace {

namespace fs = std::filesystem;
using parameters::Option_Table;
using parameters::Slot;

// "F=[x] t" for the options that are set in the table in use.
std::string Summary(const Interface_Record& record) {
  std::string text;
  for (const auto& row : Option_Table) {
    const auto parameter = record.Get_Parameter(row.Option);
    if (parameter.Set) {
      text += text.empty() ? "" : " ";
      text += row.Switch;
      if (parameter.Value) {
        text += "=[" + options::Encode_Utf8(*parameter.Value) + "]";
      }
    }
  }
  return text;
}

class Interface : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = fs::current_path();
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

  fs::path start_;
  fs::path dir_;
};

TEST_F(Interface, CommandLineWinsOverTheConfigurationFile) {
  Put("other.conf", "h\n");
  Put("my.conf", "Nvt100\ni9\n");
  const struct {
    std::string config_file;  // content of ".config_file"; empty: none
    std::vector<std::string> arguments;
    std::string set;
  } cases[] = {
      {"", {}, ""},
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
    if (!c.config_file.empty()) {
      Put(".config_file", c.config_file);
    }
    Interface_Record record;
    std::ostringstream out;
    record.Initialize(c.arguments, out);
    EXPECT_EQ(Summary(record), c.set) << c.config_file;
    EXPECT_EQ(out.str(), "");
  }
}

TEST_F(Interface, ConfigurationDirectoryIsIgnored) {
  fs::create_directory(".config_file");
  Interface_Record record;
  std::ostringstream out;
  record.Initialize(std::vector<std::string>{"-t"}, out);
  EXPECT_EQ(Summary(record), "t");
  EXPECT_EQ(out.str(), "");
}

TEST_F(Interface, ErrorsPrintTheirLinesAndPassOn) {
  const std::string other = "Other error in initialization of Main_Interface.\n";
  Put("bad.conf", "t\n\nv\n");
  std::ostringstream out;
  EXPECT_THROW(Interface_Record().Initialize(std::vector<std::string>{"-hx"}, out),
               options::Invalid_Switch);
  EXPECT_EQ(out.str(), "Invalid Switch -x\n" + other);
  out.str("");
  EXPECT_THROW(Interface_Record().Initialize(std::vector<std::string>{"-N"}, out),
               errors::Spec_Error);
  EXPECT_EQ(out.str(), "No parameter for N\n" + other);
  out.str("");
  EXPECT_THROW(Interface_Record().Initialize(std::vector<std::string>{"-F", "missing.conf"}, out),
               options::File_Open_Error);
  EXPECT_EQ(out.str(),
            "configuration file missing.conf: cannot open: No such file or directory\n" + other);
  out.str("");
  EXPECT_THROW(Interface_Record().Initialize(std::vector<std::string>{"-Fbad.conf"}, out),
               options::Configuration_Error);
  EXPECT_EQ(out.str(), "configuration file bad.conf, line 2: empty line\n" + other);
}

TEST_F(Interface, LookUpBeforeInitializeOrOfNoneIsAnError) {
  Interface_Record record;
  EXPECT_THROW(record.Get_Parameter(Option_Kind::HELP), std::out_of_range);
  std::ostringstream out;
  record.Initialize(std::vector<std::string>{}, out);
  EXPECT_FALSE(record.Get_Parameter(Option_Kind::HELP).Set);
  EXPECT_THROW(record.Get_Parameter(Option_Kind::NONE), std::out_of_range);
}

TEST_F(Interface, HelpIsTheTenLinesWhateverIsSet) {
  const std::string help =
      "Help: nelk [ Options [ Parameters ] ]\n"
      "Help: Options : \n"
      "-F : Configuration filename => Wide_String\n"
      "-h : print this message => \n"
      "-v : print the version => \n"
      "-N : Terminal name => String\n"
      "-i : initiaize total value => fixed from -999999.99 to 999999.99\n"
      "-a : Adding value to total => fixed from -999999.99 to 999999.99\n"
      "-r : Remove value from total => fixed from -999999.99 to 999999.99\n"
      "-t : print fixed from -999999.99 to 999999.99 => \n";
  Put(".config_file", "Nlinux\n");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"-h"}, {"-a", "3", "-t"}}) {
    Interface_Record record;
    std::ostringstream out;
    record.Initialize(arguments, out);
    record.Put_Help(out);
    EXPECT_EQ(out.str(), help);
  }
}

TEST(InterfaceVersion, ImageJoinsTheNumbersAndTheSuffix) {
  EXPECT_EQ(versions::Version_Image(versions::Version, '.'), "2.2.0r");
  EXPECT_EQ(versions::Version_Image({10, 0, 3, 'b'}, '-'), "10-0-3b");
  EXPECT_EQ(versions::Version_Image({0, 12, 345, 'x'}, '_'), "0_12_345x");
}

TEST(Parameters, TablesFollowTheOptionTableAndAreDistinct) {
  auto command_line = parameters::New_Parameter_Array();
  const auto file = parameters::New_Parameter_Array();
  EXPECT_EQ(command_line[Slot(Option_Kind::NONE)], nullptr);
  const std::string letters = "FhvNiart";
  for (std::size_t k = 1; k < parameters::Option_Count; ++k) {
    ASSERT_NE(command_line[k], nullptr);
    const auto& record = *command_line[k];
    EXPECT_EQ(Slot(record.Option), k);
    EXPECT_EQ(record.Switch, std::u32string(1, char32_t(letters[k - 1])));
    EXPECT_FALSE(record.Set);
    EXPECT_FALSE(record.Value.has_value());
    EXPECT_EQ(record.Type_Name.has_value(), record.Has_Value);
    const bool flag = letters[k - 1] == 'h' || letters[k - 1] == 'v' || letters[k - 1] == 't';
    EXPECT_EQ(record.Has_Value, !flag) << letters[k - 1];
  }
  command_line[Slot(Option_Kind::ADD)]->Set = true;
  EXPECT_FALSE(file[Slot(Option_Kind::ADD)]->Set);
  EXPECT_EQ(parameters::Image(Option_Kind::CONFIG_FILENAME), "CONFIG_FILENAME");
  EXPECT_EQ(parameters::Image(Option_Kind::TERM_NAME), "TERM_NAME");
}

TEST(Parameters, ApplyOptionsOverwritesPresenceAndCopiesValues) {
  auto table = parameters::New_Parameter_Array();
  table[Slot(Option_Kind::TOTAL)]->Set = true;  // unset by an array without -t
  auto options = options::New_Option_Array();
  options[Slot(Option_Kind::ADD)].Present = true;
  options[Slot(Option_Kind::ADD)].Value = U"2.5";
  Apply_Options(table, options);
  EXPECT_FALSE(table[Slot(Option_Kind::TOTAL)]->Set);
  EXPECT_TRUE(table[Slot(Option_Kind::ADD)]->Set);
  EXPECT_EQ(table[Slot(Option_Kind::ADD)]->Value, U"2.5");
  options[Slot(Option_Kind::ADD)].Value = U"9";
  EXPECT_EQ(table[Slot(Option_Kind::ADD)]->Value, U"2.5");  // a copy, not a reference
}

}  // namespace
}  // namespace nk::interfaces
