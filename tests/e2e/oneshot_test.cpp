// The one-shot command line of the built program: exact output, exit status and bytes of
// the total file, run in a fresh directory with TERM unset and empty input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

const std::string Help_Text =
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
const std::string Other_Error = "Other error in initialization of Main_Interface.\n";
const std::string Total_File = "nk.shared.total_sum";
const std::string Version = "2.2.0r\n";
const std::nullopt_t none = std::nullopt;

// Little-endian bytes of a count of hundredths, as the file must hold them.
std::string Bytes_Of(std::int32_t count) {
  const auto bits = static_cast<std::uint32_t>(count);
  return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
          static_cast<char>(bits >> 24)};
}

struct Case {
  std::vector<std::string> Arguments;
  std::optional<std::string> Before;  // the total file; nullopt: none
  std::string Output;
  int Status;
  std::optional<std::string> After;     // nullopt: still no total file
  std::optional<std::string> Config{};  // ".config_file"; nullopt: none
};

class OneShot : public ::testing::Test {
 protected:
  Piped_Run Run(const std::vector<std::string>& arguments) const {
    return Run_Piped(tree_, {.Term = none, .User = none, .Arguments = arguments});
  }
  std::string Path(const std::string& name) const { return tree_.Work() + "/" + name; }

  // Runs each case from its own starting files and checks output, status and file bytes.
  void Check(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
      std::string label = c.Config.value_or("");
      for (const auto& a : c.Arguments) label += "[" + a + "]";
      SCOPED_TRACE(label);
      std::filesystem::remove(Path(Total_File));
      std::filesystem::remove(Path(".config_file"));
      if (c.Before) tree_.Write_File(Total_File, *c.Before);
      if (c.Config) tree_.Write_File(".config_file", *c.Config);
      const auto result = Run(c.Arguments);
      EXPECT_EQ(result.Output, c.Output);
      EXPECT_EQ(result.Exit(), c.Status);
      EXPECT_EQ(tree_.Read_File(Total_File), c.After);
    }
  }

  Temp_Tree tree_;
};

TEST_F(OneShot, HelpAndVersionComeFirstAndTouchNothing) {
  const auto twelve = Bytes_Of(1234);
  Check({
      {{"-h", "-t"}, twelve, Help_Text, 0, twelve},
      {{"-vh"}, none, Help_Text, 0, none},
      {{"-i", "5", "-h"}, twelve, Help_Text, 0, twelve},
      {{"-v"}, none, Version, 0, none},
      {{"-t", "-v"}, twelve, Version, 0, twelve},
      {{"-a", "1", "-v"}, twelve, Version, 0, twelve},
  });
}

TEST_F(OneShot, PrintsTheStoredTotal) {
  Check({
      {{"-t"}, none, " 0.00\n", 0, none},
      {{"-t"}, Bytes_Of(-5), "-0.05\n", 0, Bytes_Of(-5)},
      {{"-t"}, Bytes_Of(1250), " 12.50\n", 0, Bytes_Of(1250)},
      {{"-t"}, Bytes_Of(-99999999), "-999999.99\n", 0, Bytes_Of(-99999999)},
      {{"-t"}, Bytes_Of(700) + "junk", " 7.00\n", 0, Bytes_Of(700) + "junk"},
      {{"foo", "-t", "bar"}, Bytes_Of(1), " 0.01\n", 0, Bytes_Of(1)},
      {{"-Nlinux", "-t"}, Bytes_Of(42), " 0.42\n", 0, Bytes_Of(42)},
  });
}

TEST_F(OneShot, ChangesTheStoredTotal) {
  Check({
      {{"-i", "12.345"}, Bytes_Of(7), "", 0, Bytes_Of(1235)},
      {{"-i0"}, Bytes_Of(99), "", 0, Bytes_Of(0)},
      {{"-i", "5"}, std::string("\x01\x02", 2), "", 0, Bytes_Of(500)},
      {{"-i", "5"}, Bytes_Of(1) + "tail", "", 0, Bytes_Of(500)},
      {{"-a5"}, Bytes_Of(100), "", 0, Bytes_Of(600)},
      {{"-a", "1500000"}, Bytes_Of(-99999999), "", 0, Bytes_Of(50000001)},
      {{"-a", "2"}, Bytes_Of(100) + "junk", "", 0, Bytes_Of(300)},
      {{"-r", "2.5"}, Bytes_Of(1000), "", 0, Bytes_Of(750)},
      {{"-r", "-5"}, none, "", 0, Bytes_Of(500)},
      {{"-r", "0.01"}, Bytes_Of(-99999998), "", 0, Bytes_Of(-99999999)},
  });
}

TEST_F(OneShot, ErrorsWriteNothing) {
  const auto top = Bytes_Of(99999999);
  const auto bottom = Bytes_Of(-99999999);
  const std::string not_number = ": not a number from -999999.99 to 999999.99: ";
  const std::string out_of_range = ": the new total would not be from -999999.99 to 999999.99: ";
  const std::string corrupt = "nk.shared.total_sum: corrupt total file (fewer than four bytes)\n";
  const std::string three("\x01\x02\x03", 3);
  Check({
      {{"-a", "0.01"}, top, "-a" + out_of_range + "0.01\n", 2, top},
      {{"-r", "0.01"}, bottom, "-r" + out_of_range + "0.01\n", 2, bottom},
      {{"-a", "1000000"}, none, "-a" + out_of_range + "1000000\n", 2, none},
      {{"-i", "1000000"}, top, "-i" + not_number + "1000000\n", 2, top},
      {{"-i", "€5"}, top, "-i" + not_number + "€5\n", 2, top},
      {{"-t"}, three, corrupt, 1, three},
      {{"-a", "1"}, three, corrupt, 1, three},
      {{"-r", "1"}, "", corrupt, 1, ""},
      {{"-x"}, top, "Invalid Switch -x\n" + Other_Error, 2, top},
      {{"-t", "-a"}, top, "No parameter for a\n" + Other_Error, 2, top},
      {{"-N", "xterm-256color", "-t"}, top, "Uncknow terminal name : xterm-256color\n", 2, top},
      {{"-a", "\xff"}, top, "value of -a: not valid UTF-8 at byte 1\n" + Other_Error, 2, top},
  });
}

TEST_F(OneShot, ConfigurationFileMergesUnderTheCommandLine) {
  const std::string line = "configuration file .config_file, line ";
  tree_.Write_File("my.conf", "i42\nFother.conf\n");
  tree_.Write_File("other.conf", "v\n");
  tree_.Write_File("-t", "a3\n");
  tree_.Write_File("é.conf", "t\n");
  Check({
      {{"-t"}, none, Help_Text, 0, none, "h\n"},
      {{"-a", "1"}, none, "", 0, Bytes_Of(100), "Nlinux\na2.5\n"},
      {{}, none, "", 0, Bytes_Of(250), "Nlinux\na2.5\n"},
      {{"-N", "xterm"}, none, " 0.00\n", 0, none, "Nvt100\nt\n"},
      {{"-t"}, none, "Uncknow terminal name : vt100\n", 2, none, "Nvt100\n"},
      {{}, none, " 0.00\n", 0, none, "# note\nx=1\n a5\nthis is a note\n"},
      {{}, none, line + "2: empty line\n" + Other_Error, 2, none, "a1\n\na2\n"},
      {{}, none, line + "2: not valid UTF-8 at byte 2\n" + Other_Error, 2, none, "t\na\xff\n"},
      // -F names the file read instead of .config_file.
      {{"-F", "my.conf"}, none, "", 0, Bytes_Of(4200), "h\n"},
      {{"-F", "-t"}, Bytes_Of(4200), "", 0, Bytes_Of(4500), "h\n"},  // "-t" names the file
      {{"-Fé.conf"}, Bytes_Of(4500), " 45.00\n", 0, Bytes_Of(4500), "h\n"},
      {{"-F", "missing.conf", "-t"},
       none,
       "configuration file missing.conf: cannot open: No such file or directory\n" + Other_Error,
       1,
       none,
       "h\n"},
  });
}

TEST_F(OneShot, UnreadableConfigurationAndUnwritableTotalAreFileErrors) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads and writes every file";
  tree_.Write_File(".config_file", "t\n");
  std::filesystem::permissions(Path(".config_file"), std::filesystem::perms::none);
  auto result = Run({"-t"});
  EXPECT_EQ(result.Output,
            "configuration file .config_file: cannot open: Permission denied\n" + Other_Error);
  EXPECT_EQ(result.Exit(), 1);
  std::filesystem::remove(Path(".config_file"));
  std::filesystem::permissions(
      tree_.Work(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  result = Run({"-a", "1"});
  std::filesystem::permissions(tree_.Work(), std::filesystem::perms::owner_all);
  EXPECT_EQ(result.Output, "nk.shared.total_sum: cannot create: Permission denied\n");
  EXPECT_EQ(result.Exit(), 1);
  EXPECT_EQ(tree_.Read_File(Total_File), std::nullopt);
}

TEST_F(OneShot, WithoutAOneShotSwitchTheShellRuns) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"-N", " XTERM "}, {"stray"}}) {
    const auto result = Run(arguments);
    EXPECT_EQ(result.Exit(), 0);
    EXPECT_EQ(result.Output.rfind("Greetings !\n", 0), 0U) << result.Output;
    EXPECT_EQ(tree_.Read_File(Total_File), std::nullopt);
  }
}

}  // namespace
}  // namespace nk::pty_test
