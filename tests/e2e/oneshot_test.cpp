// The one-shot command line of the built program: exact standard output, exit status and
// bytes of the total file, run in a fresh directory with TERM unset and empty input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/process.hpp"

namespace nk::e2e {
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

// Little-endian bytes of a count of hundredths, as the file must hold them.
std::string Bytes_Of(std::int32_t count) {
  const auto bits = static_cast<std::uint32_t>(count);
  return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
          static_cast<char>(bits >> 24)};
}

class OneShot : public ::testing::Test {
 protected:
  Process_Result Run(const std::vector<std::string>& arguments) const {
    return Run_Process({.Program = NELK_BINARY,
                        .Arguments = arguments,
                        .Directory = work_.Path(),
                        .Environment = Test_Environment(home_.Path()),
                        .Input = "",
                        .Time_Out = std::chrono::seconds(20)});
  }
  std::string Path(const std::string& name) const { return work_.Path() + "/" + name; }
  void Put(const std::string& name, const std::string& bytes) const {
    Write_File(Path(name), bytes);
  }
  // The file's bytes; nullopt when it does not exist.
  std::optional<std::string> Get(const std::string& name) const {
    std::string bytes;
    if (!Read_File(Path(name), bytes)) {
      return std::nullopt;
    }
    return bytes;
  }

  Temporary_Directory work_;
  Temporary_Directory home_;
};

struct Case {
  std::vector<std::string> Arguments;
  std::optional<std::string> Total_Before;  // nullopt: no total file
  std::string Output;
  int Status;
  std::optional<std::string> Total_After;  // nullopt: still no total file
};

class OneShotTotal : public OneShot {
 protected:
  // Runs each case from its own starting file and checks output, status and file bytes.
  void Check(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
      std::string label;
      for (const auto& a : c.Arguments) {
        label += "[" + a + "]";
      }
      SCOPED_TRACE(label);
      std::filesystem::remove(Path(Total_File));
      if (c.Total_Before) {
        Put(Total_File, *c.Total_Before);
      }
      const auto result = Run(c.Arguments);
      EXPECT_FALSE(result.Timed_Out);
      EXPECT_EQ(result.Output, c.Output);
      EXPECT_EQ(result.Exit_Status, c.Status);
      EXPECT_EQ(Get(Total_File), c.Total_After);
    }
  }
};

TEST_F(OneShotTotal, HelpAndVersionComeFirstAndTouchNothing) {
  const auto twelve = Bytes_Of(1234);
  Check({
      {{"-h"}, std::nullopt, Help_Text, 0, std::nullopt},
      {{"-h", "-t"}, twelve, Help_Text, 0, twelve},
      {{"-vh"}, std::nullopt, Help_Text, 0, std::nullopt},
      {{"-i", "5", "-h"}, twelve, Help_Text, 0, twelve},
      {{"-v"}, std::nullopt, "2.2.0r\n", 0, std::nullopt},
      {{"-t", "-v"}, twelve, "2.2.0r\n", 0, twelve},
      {{"-a", "1", "-v"}, twelve, "2.2.0r\n", 0, twelve},
  });
}

TEST_F(OneShotTotal, PrintsTheStoredTotal) {
  Check({
      {{"-t"}, std::nullopt, " 0.00\n", 0, std::nullopt},
      {{"-t"}, Bytes_Of(1234), " 12.34\n", 0, Bytes_Of(1234)},
      {{"-t"}, Bytes_Of(-5), "-0.05\n", 0, Bytes_Of(-5)},
      {{"-t"}, Bytes_Of(1250), " 12.50\n", 0, Bytes_Of(1250)},
      {{"-t"}, Bytes_Of(99999999), " 999999.99\n", 0, Bytes_Of(99999999)},
      {{"-t"}, Bytes_Of(-99999999), "-999999.99\n", 0, Bytes_Of(-99999999)},
      {{"-t"}, Bytes_Of(700) + "junk", " 7.00\n", 0, Bytes_Of(700) + "junk"},
      {{"foo", "-t", "bar"}, Bytes_Of(1), " 0.01\n", 0, Bytes_Of(1)},
      {{"-N", "xterm", "-t"}, Bytes_Of(42), " 0.42\n", 0, Bytes_Of(42)},
      {{"-Nlinux", "-t"}, Bytes_Of(42), " 0.42\n", 0, Bytes_Of(42)},
  });
}

TEST_F(OneShotTotal, InitializeStoresTheRoundedValueWithoutReading) {
  Check({
      {{"-i", "12.34"}, std::nullopt, "", 0, Bytes_Of(1234)},
      {{"-i", "12.346"}, std::nullopt, "", 0, Bytes_Of(1235)},
      {{"-i", "12.345"}, Bytes_Of(7), "", 0, Bytes_Of(1235)},
      {{"-i", "-12.345"}, Bytes_Of(7), "", 0, Bytes_Of(-1235)},
      {{"-i", "-999999.99"}, std::nullopt, "", 0, Bytes_Of(-99999999)},
      {{"-i", " +999999.99 "}, std::nullopt, "", 0, Bytes_Of(99999999)},
      {{"-i0"}, Bytes_Of(99), "", 0, Bytes_Of(0)},
      {{"-i", "5"}, std::string("\x01\x02", 2), "", 0, Bytes_Of(500)},
      {{"-i", "5"}, Bytes_Of(1) + "tail", "", 0, Bytes_Of(500)},
      {{"-i", "1", "-i", "2"}, std::nullopt, "", 0, Bytes_Of(200)},
  });
}

TEST_F(OneShotTotal, AddAndRemoveCombineWithTheStoredTotal) {
  Check({
      {{"-a", "1"}, Bytes_Of(1235), "", 0, Bytes_Of(1335)},
      {{"-a", "0.01"}, std::nullopt, "", 0, Bytes_Of(1)},
      {{"-a5"}, Bytes_Of(100), "", 0, Bytes_Of(600)},
      {{"-a", "-5"}, Bytes_Of(100), "", 0, Bytes_Of(-400)},
      {{"-a", "5", "-a", "7"}, Bytes_Of(0), "", 0, Bytes_Of(700)},
      {{"-a", "1500000"}, Bytes_Of(-99999999), "", 0, Bytes_Of(50000001)},
      {{"-a", "2"}, Bytes_Of(100) + "junk", "", 0, Bytes_Of(300)},
      {{"-r", "2.5"}, Bytes_Of(1000), "", 0, Bytes_Of(750)},
      {{"-r", "-5"}, std::nullopt, "", 0, Bytes_Of(500)},
      {{"-r", "0.01"}, Bytes_Of(-99999998), "", 0, Bytes_Of(-99999999)},
  });
}

TEST_F(OneShotTotal, BadValuesAndRangesWriteNothing) {
  const auto top = Bytes_Of(99999999);
  const auto bottom = Bytes_Of(-99999999);
  const std::string not_number = ": not a number from -999999.99 to 999999.99: ";
  const std::string out_of_range = ": the new total would not be from -999999.99 to 999999.99: ";
  Check({
      {{"-a", "0.01"}, top, "-a" + out_of_range + "0.01\n", 2, top},
      {{"-r", "0.01"}, bottom, "-r" + out_of_range + "0.01\n", 2, bottom},
      {{"-r", "-21474836.48"}, bottom, "-r" + out_of_range + "-21474836.48\n", 2, bottom},
      {{"-r", "-21474836.49"}, bottom, "-r" + not_number + "-21474836.49\n", 2, bottom},
      {{"-a", "1000000"}, std::nullopt, "-a" + out_of_range + "1000000\n", 2, std::nullopt},
      {{"-a", "abc"}, top, "-a" + not_number + "abc\n", 2, top},
      {{"-a", "1e3"}, top, "-a" + not_number + "1e3\n", 2, top},
      {{"-r", "1."}, top, "-r" + not_number + "1.\n", 2, top},
      {{"-i", "1000000"}, top, "-i" + not_number + "1000000\n", 2, top},
      {{"-i", ""}, std::nullopt, "-i" + not_number + "\n", 2, std::nullopt},
      {{"-i", "99999999999999999999999"},
       top,
       "-i" + not_number + "99999999999999999999999\n",
       2,
       top},
      {{"-i", "€5"}, top, "-i" + not_number + "€5\n", 2, top},
  });
}

TEST_F(OneShotTotal, ShortFileIsCorruptAndKept) {
  const std::string message = "nk.shared.total_sum: corrupt total file (fewer than four bytes)\n";
  const std::string three("\x01\x02\x03", 3);
  Check({
      {{"-t"}, three, message, 1, three},
      {{"-a", "1"}, three, message, 1, three},
      {{"-r", "1"}, three, message, 1, three},
      {{"-t"}, "", message, 1, ""},
      {{"-a", "1"}, "", message, 1, ""},
  });
}

TEST_F(OneShotTotal, UsageErrorsEndTheRunWithTheirMessage) {
  const auto total = Bytes_Of(1234);
  Check({
      {{"-x"}, total, "Invalid Switch -x\n" + Other_Error, 2, total},
      {{"-hx"}, total, "Invalid Switch -x\n" + Other_Error, 2, total},
      {{"-t", "-H"}, total, "Invalid Switch -H\n" + Other_Error, 2, total},
      {{"--x"}, total, "Invalid Switch --x\n" + Other_Error, 2, total},
      {{"--"}, total, "Invalid Switch --\n" + Other_Error, 2, total},
      {{"-"}, total, "Invalid Switch -\n" + Other_Error, 2, total},
      {{"-N"}, total, "No parameter for N\n" + Other_Error, 2, total},
      {{"-t", "-a"}, total, "No parameter for a\n" + Other_Error, 2, total},
      {{"-N", "vt100"}, total, "Uncknow terminal name : vt100\n", 2, total},
      {{"-N", "€xterm", "-t"}, total, "Uncknow terminal name : €xterm\n", 2, total},
      {{"-N", "xterm-256color", "-t"}, total, "Uncknow terminal name : xterm-256color\n", 2, total},
      {{"-a", std::string("\xff", 1)},
       total,
       "value of -a: not valid UTF-8 at byte 1\n" + Other_Error,
       2,
       total},
  });
}

TEST_F(OneShot, AbsentValidTerminalNameGoesOnToTheShell) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"-N", "linux"}, {"-N", " XTERM "}, {"stray"}}) {
    const auto result = Run(arguments);
    EXPECT_FALSE(result.Timed_Out);
    EXPECT_EQ(result.Exit_Status, 0);
    EXPECT_EQ(result.Output.rfind("Greetings ", 0), 0U) << result.Output;
    EXPECT_EQ(Get(Total_File), std::nullopt);
  }
}

struct File_Case {
  std::string Content;                 // of ".config_file"
  std::vector<std::string> Arguments;  // command line
  std::string Output;
  int Status;
  std::optional<std::string> Total_After;
};

class OneShotConfiguration : public OneShot {
 protected:
  void Check(const std::vector<File_Case>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.Content);
      std::filesystem::remove(Path(Total_File));
      Put(".config_file", c.Content);
      const auto result = Run(c.Arguments);
      EXPECT_FALSE(result.Timed_Out);
      EXPECT_EQ(result.Output, c.Output);
      EXPECT_EQ(result.Exit_Status, c.Status);
      EXPECT_EQ(Get(Total_File), c.Total_After);
    }
  }
};

TEST_F(OneShotConfiguration, FileOptionsActAsSwitchesAndTheCommandLineWins) {
  Check({
      {"t\n", {}, " 0.00\n", 0, std::nullopt},
      {"t", {"-v"}, "2.2.0r\n", 0, std::nullopt},
      {"h\n", {"-t"}, Help_Text, 0, std::nullopt},
      {"Nlinux\na2.5\n", {"-a", "1"}, "", 0, Bytes_Of(100)},
      {"Nlinux\na2.5\n", {}, "", 0, Bytes_Of(250)},
      {"a2.5\na3\n", {}, "", 0, Bytes_Of(300)},
      {"Nvt100\nt\n", {"-N", "xterm"}, " 0.00\n", 0, std::nullopt},
      {"Nvt100\n", {"-t"}, "Uncknow terminal name : vt100\n", 2, std::nullopt},
      {"# note\nx=1\n a5\nthis is a note\n", {}, " 0.00\n", 0, std::nullopt},
      {"i7\n\n", {}, "", 0, Bytes_Of(700)},
      {"i 7 \n", {}, "", 0, Bytes_Of(700)},
      {"", {"-t"}, " 0.00\n", 0, std::nullopt},
  });
}

TEST_F(OneShotConfiguration, MalformedFilesEndTheRun) {
  const std::string name = "configuration file .config_file, line ";
  Check({
      {"a1\n\na2\n", {}, name + "2: empty line\n" + Other_Error, 2, std::nullopt},
      {"\n", {"-t"}, name + "1: empty line\n" + Other_Error, 2, std::nullopt},
      {"\n\n", {"-t"}, name + "1: empty line\n" + Other_Error, 2, std::nullopt},
      {"t\n\n\n", {}, name + "2: empty line\n" + Other_Error, 2, std::nullopt},
      {"t\na\n", {}, name + "2: a needs a value right after it\n" + Other_Error, 2, std::nullopt},
      {"F", {}, name + "1: F needs a value right after it\n" + Other_Error, 2, std::nullopt},
      {"t\na\xff\n", {}, name + "2: not valid UTF-8 at byte 2\n" + Other_Error, 2, std::nullopt},
  });
}

TEST_F(OneShot, NamedConfigurationFileReplacesTheDefaultOne) {
  Put(".config_file", "h\n");
  Put("my.conf", "i42\nFother.conf\n");
  Put("other.conf", "v\n");
  Put("-t", "a3\n");
  Put("é.conf", "t\n");

  auto result = Run({"-F", "my.conf"});
  EXPECT_EQ(result.Output, "");
  EXPECT_EQ(result.Exit_Status, 0);
  EXPECT_EQ(Get(Total_File), Bytes_Of(4200));

  result = Run({"-F", "-t"});  // "-t" is the file name, not the switch
  EXPECT_EQ(result.Output, "");
  EXPECT_EQ(result.Exit_Status, 0);
  EXPECT_EQ(Get(Total_File), Bytes_Of(4500));

  result = Run({"-Fé.conf"});
  EXPECT_EQ(result.Output, " 45.00\n");
  EXPECT_EQ(result.Exit_Status, 0);

  result = Run({"-F", "missing.conf", "-t"});
  EXPECT_EQ(
      result.Output,
      "configuration file missing.conf: cannot open: No such file or directory\n" + Other_Error);
  EXPECT_EQ(result.Exit_Status, 1);

  std::filesystem::create_directory(Path("dir.conf"));
  result = Run({"-F", "dir.conf", "-t"});
  EXPECT_EQ(result.Output,
            "configuration file dir.conf: cannot read: Is a directory\n" + Other_Error);
  EXPECT_EQ(result.Exit_Status, 1);
  EXPECT_EQ(Get(Total_File), Bytes_Of(4500));
}

TEST_F(OneShot, DefaultConfigurationThatIsNotAFileIsIgnored) {
  std::filesystem::create_directory(Path(".config_file"));
  const auto result = Run({"-t"});
  EXPECT_EQ(result.Output, " 0.00\n");
  EXPECT_EQ(result.Exit_Status, 0);
}

TEST_F(OneShot, UnreadableConfigurationIsAFileError) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads every file";
  }
  Put(".config_file", "t\n");
  std::filesystem::permissions(Path(".config_file"), std::filesystem::perms::none);
  const auto result = Run({"-t"});
  EXPECT_EQ(result.Output,
            "configuration file .config_file: cannot open: Permission denied\n" + Other_Error);
  EXPECT_EQ(result.Exit_Status, 1);
}

TEST_F(OneShot, UnwritableTotalIsAFileError) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root writes everywhere";
  }
  std::filesystem::permissions(
      work_.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const auto result = Run({"-a", "1"});
  std::filesystem::permissions(work_.Path(), std::filesystem::perms::owner_all);
  EXPECT_EQ(result.Output, "nk.shared.total_sum: cannot create: Permission denied\n");
  EXPECT_EQ(result.Exit_Status, 1);
  EXPECT_EQ(Get(Total_File), std::nullopt);
}

TEST_F(OneShot, ConcurrentAddsLoseNoUpdate) {
  constexpr int runs = 50;
  int gate[2];
  ASSERT_EQ(::pipe2(gate, O_CLOEXEC), 0);
  std::vector<std::unique_ptr<Process>> processes;
  const Process_Request request{.Program = NELK_BINARY,
                                .Arguments = {"-a", "0.01"},
                                .Directory = work_.Path(),
                                .Environment = Test_Environment(home_.Path()),
                                .Input = "",
                                .Time_Out = std::chrono::seconds(60)};
  processes.reserve(runs);
  for (int k = 0; k < runs; ++k) {
    processes.push_back(std::make_unique<Process>(request, gate[0]));
  }
  const std::string go(runs, 'g');
  ASSERT_EQ(::write(gate[1], go.data(), go.size()), static_cast<ssize_t>(go.size()));
  ::close(gate[1]);
  ::close(gate[0]);
  for (auto& process : processes) {
    const auto result = process->Wait();
    EXPECT_EQ(result.Exit_Status, 0);
    EXPECT_EQ(result.Output, "");
  }
  EXPECT_EQ(Get(Total_File), std::string("\x32\x00\x00\x00", 4));
  EXPECT_EQ(Run({"-t"}).Output, " 0.50\n");
}

}  // namespace
}  // namespace nk::e2e
