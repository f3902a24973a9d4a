// The one-shot command line: output, status, total file bytes. Parsing: tests/options.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/pty_session.hpp"

namespace nk::pty_test {
namespace {

namespace fs = std::filesystem;

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
const std::string Too_Large = "nk.shared.total_sum: cannot write: File too large\n";
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
  std::optional<long> Limit{};          // bytes the total file may grow to
};

class OneShot : public ::testing::Test {
 protected:
  Piped_Run Run(const std::vector<std::string>& arguments, std::optional<long> limit = {}) const {
    Session_Options options{.Term = none, .User = none, .Arguments = arguments};
    if (limit) options.Limits = {{RLIMIT_FSIZE, *limit}};
    return Run_Piped(tree_, options);
  }
  std::string Path(const std::string& name) const { return tree_.Work() + "/" + name; }

  void Check(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::PrintToString(c.Arguments) + c.Config.value_or(""));
      fs::remove(Path(Total_File));
      fs::remove(Path(".config_file"));
      if (c.Before) tree_.Write_File(Total_File, *c.Before);
      if (c.Config) tree_.Write_File(".config_file", *c.Config);
      const auto result = Run(c.Arguments, c.Limit);
      EXPECT_EQ(result.Output, c.Output);
      EXPECT_EQ(result.Exit(), c.Status);
      EXPECT_EQ(tree_.Read_File(Total_File), c.After);
    }
  }

  Temp_Tree tree_;
};

// Help and version come first and touch nothing else; errors write nothing.
TEST_F(OneShot, OutputStatusAndTotalFileOfEachCommandLine) {
  const auto twelve = Bytes_Of(1234), top = Bytes_Of(99999999);
  const std::string corrupt = "nk.shared.total_sum: corrupt total file (fewer than four bytes)\n";
  const std::string three("\x01\x02\x03", 3), range = " -999999.99 to 999999.99: ";
  Check({
      {{"-h", "-t"}, twelve, Help_Text, 0, twelve},
      {{"-vh"}, none, Help_Text, 0, none},
      {{"-i", "5", "-h"}, twelve, Help_Text, 0, twelve},
      {{"-v"}, none, "2.2.0r\n", 0, none},
      {{"-a", "1", "-v"}, twelve, "2.2.0r\n", 0, twelve},
      {{"-t"}, none, " 0.00\n", 0, none},
      {{"-t"}, Bytes_Of(-5), "-0.05\n", 0, Bytes_Of(-5)},
      {{"-t"}, Bytes_Of(-99999999), "-999999.99\n", 0, Bytes_Of(-99999999)},
      {{"-t"}, Bytes_Of(700) + "junk", " 7.00\n", 0, Bytes_Of(700) + "junk"},
      {{"-i", "5"}, Bytes_Of(1) + "tail", "", 0, Bytes_Of(500)},
      {{"-i", "5"}, std::string("\x01\x02", 2), "", 0, Bytes_Of(500)},  // -i repairs
      {{"-a", "2"}, Bytes_Of(100) + "junk", "", 0, Bytes_Of(300)},
      {{"-a", "1500000"}, Bytes_Of(-99999999), "", 0, Bytes_Of(50000001)},  // only the sum fits
      {{"-a", "0.01"}, Bytes_Of(99999998), "", 0, Bytes_Of(99999999)},
      {{"-r", "0.01"}, Bytes_Of(-99999998), "", 0, Bytes_Of(-99999999)},
      {{"-r", "-5"}, none, "", 0, Bytes_Of(500)},
      {{"-a", "0.01"}, top, "-a: the new total would not be from" + range + "0.01\n", 2, top},
      {{"-i", "1000000"}, top, "-i: not a number from" + range + "1000000\n", 2, top},
      {{"-i", "€5"}, top, "-i: not a number from" + range + "€5\n", 2, top},
      {{"-t"}, three, corrupt, 1, three},
      {{"-a", "1"}, three, corrupt, 1, three},
      {{"-x"}, top, "Invalid Switch -x\n" + Other_Error, 2, top},
      {{"-N", "xterm-256color", "-t"}, top, "Uncknow terminal name : xterm-256color\n", 2, top},
      {{"-a", "\xff"}, top, "value of -a: not valid UTF-8 at byte 1\n" + Other_Error, 2, top},
      // A failed write keeps the old total (limit 2: the old bytes put back from halfway).
      {{"-a", "1"}, twelve, Too_Large, 1, twelve, none, 0},
      {{"-i", "5"}, none, Too_Large, 1, none, none, 0},
      {{"-a", "1"}, twelve, Too_Large, 1, twelve, none, 2},
      {{"-i", "5"}, twelve + "tail", Too_Large, 1, twelve + "tail", none, 2},
  });
}

TEST_F(OneShot, ConfigurationFileMergesUnderTheCommandLine) {
  const std::string line = "configuration file .config_file, line ";
  const std::string kind = ": not a regular file or a pipe\n" + Other_Error;
  const std::string missing =
      "configuration file missing.conf: cannot open: No such file or directory\n";
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
      {{}, none, line + "2: empty line\n" + Other_Error, 2, none, "a1\n\na2\n"},
      // -F names the file read instead of .config_file; a nested F is not followed.
      {{"-F", "my.conf"}, none, "", 0, Bytes_Of(4200), "h\n"},
      {{"-F", "-t"}, Bytes_Of(4200), "", 0, Bytes_Of(4500), "h\n"},  // "-t" names the file
      {{"-Fé.conf"}, Bytes_Of(4500), " 45.00\n", 0, Bytes_Of(4500), "h\n"},
      {{"-F", "missing.conf", "-t"}, none, missing + Other_Error, 1, none, "h\n"},
      // Regular files and pipes only: a device might never end, a directory cannot be read.
      {{"-F", "/dev/zero", "-t"}, none, "configuration file /dev/zero" + kind, 1, none},
      {{"-F", ".", "-t"}, none, "configuration file ." + kind, 1, none},
  });
  // A pipe is read to its end, or to the first line longer than memory is given for.
  const auto piped = [&](const std::string& source) {
    const std::vector<std::string> sh{"-c", source + " | exec \"$0\" -F /dev/stdin", NELK_BINARY};
    return Run_Piped(tree_, {.Program = "/bin/sh", .Term = none, .User = none, .Arguments = sh});
  };
  EXPECT_EQ(piped("printf 'Nxterm\\nt\\n'").Output, " 0.00\n");
  const auto long_line = piped("(head -c 1000000 /dev/zero | tr '\\0' x) 2>/dev/null");
  EXPECT_EQ(long_line.Output,
            "configuration file /dev/stdin, line 1: longer than 65536 bytes\n" + Other_Error);
  EXPECT_EQ(long_line.Exit(), 2);
}

TEST_F(OneShot, UnreadableOrUnwritableFilesAreFileErrors) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads and writes every file";
  const auto denied = [&](const std::vector<std::string>& arguments, const std::string& output) {
    const auto result = Run(arguments);
    EXPECT_EQ(result.Output, output);
    EXPECT_EQ(result.Exit(), 1);
  };
  tree_.Write_File(".config_file", "t\n");
  fs::permissions(Path(".config_file"), fs::perms::none);
  denied({"-t"}, "configuration file .config_file: cannot open: Permission denied\n" + Other_Error);
  fs::remove(Path(".config_file"));
  tree_.Write_File(Total_File, Bytes_Of(1234));
  fs::permissions(Path(Total_File), fs::perms::owner_read);
  denied({"-a", "1"}, "nk.shared.total_sum: cannot open: Permission denied\n");
  EXPECT_EQ(tree_.Read_File(Total_File), Bytes_Of(1234));
  fs::remove(Path(Total_File));
  fs::permissions(tree_.Work(), fs::perms::owner_read | fs::perms::owner_exec);
  denied({"-a", "1"}, "nk.shared.total_sum: cannot create: Permission denied\n");
  fs::permissions(tree_.Work(), fs::perms::owner_all);
  EXPECT_EQ(tree_.Read_File(Total_File), none);
}

// Makes `path` a file of `kind`; false when it cannot.
bool Make(const std::string& path, const std::string& kind) {
  if (kind == "directory") return ::mkdir(path.c_str(), 0700) == 0;
  if (kind == "device link") return ::symlink("/dev/null", path.c_str()) == 0;
  return ::mknod(path.c_str(), (kind == "pipe" ? S_IFIFO : S_IFSOCK) | 0600, 0) == 0;
}

TEST_F(OneShot, ATotalFileThatIsNotARegularFileIsReportedAndLeftAlone) {
  const std::string path = Path(Total_File);
  for (const std::string kind : {"pipe", "directory", "socket", "device link"}) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-t"}, {"-i", "1"}, {"-a", "1"}, {"-r", "1"}}) {
      SCOPED_TRACE(kind + " " + arguments[0]);
      fs::remove_all(path);
      ASSERT_TRUE(Make(path, kind));
      const auto before = fs::symlink_status(path).type();
      const auto run = Run(arguments);
      EXPECT_EQ(run.Output, "nk.shared.total_sum: not a regular file\n");
      EXPECT_EQ(run.Exit(), 1);
      EXPECT_EQ(fs::symlink_status(path).type(), before);
    }
  }
  fs::remove_all(path);
  tree_.Write_File("real", Bytes_Of(700));
  fs::create_symlink("real", path);
  EXPECT_EQ(Run({"-a", "2"}).Exit(), 0);
  EXPECT_EQ(tree_.Read_File("real"), Bytes_Of(900)) << "a link to a regular file works";
}

}  // namespace
}  // namespace nk::pty_test
