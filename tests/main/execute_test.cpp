#include "run/execute.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "nk-shared.hpp"

namespace {

namespace fs = std::filesystem;

// Lines run from "work" in a temporary directory, with "bin" and "my bin" first on PATH.
class Execute : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::cout.rdbuf(captured_.rdbuf());
    std::string pattern = (fs::temp_directory_path() / "nk-execute-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    old_cwd_ = fs::current_path();
    old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    // record: writes its arguments, one per line, to the file "args" in the working directory.
    Script("bin/record", "for a in \"$@\"; do echo \"[$a]\"; done > args");
    Script("bin/fail", "exit \"$1\"");
    Script("my bin/spaced", "echo spaced > args");
    fs::create_directories(root_ / "work");
    fs::create_directories(root_ / "elsewhere");
    fs::current_path(root_ / "work");
    ::setenv("PATH", (root_.string() + "/bin:" + root_.string() + "/my bin:/usr/bin:/bin").c_str(),
             1);
    ASSERT_TRUE(nk::shared::Pin_Total_Directory());
  }
  void TearDown() override {
    std::cout.rdbuf(saved_);
    nk::shared::Unpin_Total_Directory();
    ::setenv("PATH", old_path_.c_str(), 1);
    fs::current_path(old_cwd_);
    fs::remove_all(root_);
  }
  void Script(const std::string& name, const std::string& body) {
    fs::create_directories((root_ / name).parent_path());
    std::ofstream(root_ / name) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(root_ / name, fs::perms::owner_all);
  }
  // Runs `line` and answers what it wrote on std::cout.
  std::string Run(const std::string& line) {
    captured_.str("");
    state_.Line = nk::text::Decode_Utf8(line);
    nk::main::Execute_Line(state_);
    return captured_.str();
  }
  // What the last "record" or "spaced" wrote, read once.
  std::string Args() {
    std::ostringstream text;
    text << std::ifstream(root_ / "work" / "args").rdbuf();
    fs::remove(root_ / "work" / "args");
    return text.str();
  }
  std::string Last_History() {
    return nk::text::Encode_Utf8(state_.History.Item(state_.History.Count()));
  }

  fs::path root_;
  fs::path old_cwd_;
  std::string old_path_;
  std::ostringstream captured_;
  std::streambuf* saved_ = nullptr;
  nk::main::Terminal terminal_;
  nk::main::Shell_State state_{terminal_};
};

TEST_F(Execute, TotalLinesChangeTheStoredTotal) {
  // Line, output, change of the total, line left for editing.
  const std::tuple<std::string, std::string, nk::shared::Hundredths, std::string> cases[] = {
      {"+5", "", 500, ""},
      {"-2.25", "", -225, ""},
      {"+", "", 0, "+"},
      {"-", "", 0, "-"},
      {"+abc", "-: error\n", 0, "+abc"},
      {"-1000000", "-: error\n", 0, "-1000000"},  // the sum would be in range, the value is not
      {"-99999999999", "-: error\n", 0, "-99999999999"},
  };
  for (const auto& [line, output, change, line_after] : cases) {
    const nk::shared::Hundredths before = nk::shared::Read_Total_Sum();
    EXPECT_EQ(Run(line), output) << line;
    EXPECT_EQ(nk::shared::Read_Total_Sum() - before, change) << line;
    EXPECT_EQ(nk::text::Encode_Utf8(state_.Line), line_after) << line;
  }
  EXPECT_EQ(state_.History_Count, 0U) << "total lines are not history";

  // Sums out of range change nothing.
  nk::shared::Write_Total_Sum(nk::shared::Total_Last);
  EXPECT_EQ(Run("+0.01"), "-: error\n");
  EXPECT_EQ(nk::shared::Read_Total_Sum(), nk::shared::Total_Last);
  EXPECT_EQ(Run("-0.01"), "");
  EXPECT_EQ(nk::shared::Read_Total_Sum(), nk::shared::Total_Last - 1);
}

TEST_F(Execute, ExternalCommandsAndAliasesGetTheRestOfTheLineUnchanged) {
  const std::pair<const char*, const char*> cases[] = {
      {"record", ""},
      {"record a b", "[a]\n[b]\n"},
      {"record  a", "[a]\n"},
      {"record \"a b\" 'c  d'", "[a b]\n[c  d]\n"},
      {"record $((1+2)) x*z", "[3]\n[x*z]\n"},
      {"record one | cat > /dev/null; record two", "[two]\n"},
      {"record ", ""},
      {"../bin/record y", "[y]\n"},  // a name with a slash is not searched
      {"spaced", "spaced\n"},        // a path with a blank must reach sh quoted
  };
  for (const auto& [line, args] : cases) {
    EXPECT_EQ(Run(line), "") << line;
    EXPECT_EQ(Args(), args) << line;
    EXPECT_EQ(state_.Last_Status, 0) << line;
    EXPECT_EQ(Last_History(), line);
  }
  Run("alias rr=\"record -l\"");
  EXPECT_EQ(Run("rr /tmp"), "");
  EXPECT_EQ(Args(), "[-l]\n[/tmp]\n");
  EXPECT_EQ(Last_History(), "record -l /tmp");
}

TEST_F(Execute, FailuresAreReportedAfterEveryLineUntilASuccess) {
  EXPECT_EQ(Run("fail 2"), "Error: errno =  2\n");
  EXPECT_EQ(state_.Last_Status, 2);
  EXPECT_EQ(Run("set"), "Error: errno =  2\n");
  EXPECT_EQ(Run("no_such_program_here"), "\nCommand not found\nError: errno =  2\n");
  EXPECT_EQ(Run("fail 0"), "");
  state_.Last_Status = -1;
  EXPECT_EQ(Run("set"), "Error: errno = -1\n");
  EXPECT_EQ(state_.History_Count, 5U);
}

TEST_F(Execute, CdReleasesTheDirectoryLockEitherWay) {
  EXPECT_EQ(Run("cd " + (root_ / "elsewhere").string()), "");
  EXPECT_EQ(fs::current_path(), root_ / "elsewhere");
  EXPECT_EQ(Run("cd /does/not/exist"), "Directory not found\n");
  EXPECT_EQ(terminal_.Old_Pwd, (root_ / "work").string());
  ASSERT_TRUE(state_.Directory_Lock.try_acquire());
  state_.Directory_Lock.release();
}

TEST_F(Execute, AnUnsetOrEmptyPathFindsNothing) {
  ::unsetenv("PATH");
  EXPECT_EQ(Run("record a"), "\nCommand not found\n");
  ::setenv("PATH", "", 1);
  EXPECT_EQ(Run("record a"), "\nCommand not found\n");
}

}  // namespace
