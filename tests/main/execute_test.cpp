#include "main/execute.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "shared/nk-shared.hpp"

namespace {

using nk::shell::Widen;

class Execute : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::cout.rdbuf(captured_.rdbuf());
    char pattern[] = "/tmp/nk-execute-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    if (const char* path = std::getenv("PATH")) {
      old_path_ = path;
    }
    ASSERT_EQ(::mkdir((root_ + "/bin").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/my bin").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/work").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/elsewhere").c_str(), 0755), 0);
    // record: writes its arguments, one per line, to the file "args" in the working directory.
    Script("/bin/record", "for a in \"$@\"; do echo \"[$a]\"; done > args");
    Script("/bin/fail", "exit \"$1\"");
    Script("/my bin/spaced", "echo spaced > args");
    ASSERT_EQ(::chdir((root_ + "/work").c_str()), 0);
    ::setenv("PATH", (root_ + "/bin:" + root_ + "/my bin:/usr/bin:/bin").c_str(), 1);
    ASSERT_TRUE(nk::shared::Pin_Total_Directory());
  }
  void TearDown() override {
    std::cout.rdbuf(saved_);
    nk::shared::Unpin_Total_Directory();
    ::setenv("PATH", old_path_.c_str(), 1);
    ::chdir(old_cwd_.c_str());
    std::system(("rm -rf '" + root_ + "'").c_str());
  }
  void Script(const std::string& name, const std::string& body) {
    const std::string path = root_ + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
  }
  // Runs `line` and answers what it wrote on std::cout.
  std::string Run(const std::string& line) {
    captured_.str("");
    state_.Line = Widen(line);
    nk::main::Execute_Line(state_);
    return captured_.str();
  }
  std::string Args() {
    std::ifstream file(root_ + "/work/args");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    ::unlink((root_ + "/work/args").c_str());
    return text;
  }
  std::string Last_History() {
    return nk::shell::Narrow(state_.History.Item(state_.History.Count()));
  }

  std::string root_;
  std::string old_cwd_;
  std::string old_path_;
  std::ostringstream captured_;
  std::streambuf* saved_ = nullptr;
  nk::main::Terminal terminal_;
  nk::main::Shell_State state_{terminal_};
};

TEST_F(Execute, TotalLinesChangeTheStoredTotal) {
  struct Case {
    const char* Line;
    const char* Output;
    nk::shared::Hundredths Change;
    const char* Line_After;
  };
  const Case cases[] = {
      {"+5", "", 500, ""},
      {"-2.25", "", -225, ""},
      {"+0.005", "", 1, ""},
      {"+", "", 0, "+"},
      {"-", "", 0, "-"},
      {"+abc", "-: error\n", 0, "+abc"},
      {"+5x", "-: error\n", 0, "+5x"},
      {"+1000000", "-: error\n", 0, "+1000000"},
      {"-99999999999", "-: error\n", 0, "-99999999999"},
  };
  for (const Case& c : cases) {
    const nk::shared::Hundredths before = nk::shared::Read_Total_Sum();
    EXPECT_EQ(Run(c.Line), c.Output) << c.Line;
    EXPECT_EQ(nk::shared::Read_Total_Sum() - before, c.Change) << c.Line;
    EXPECT_EQ(nk::shell::Narrow(state_.Line), c.Line_After) << c.Line;
  }
  EXPECT_EQ(state_.History_Count, 0U) << "total lines are not history";
}

TEST_F(Execute, SumsOutOfRangeChangeNothing) {
  Run("-5");
  nk::shared::Write_Total_Sum(nk::shared::Total_Last);
  EXPECT_EQ(Run("+0.01"), "-: error\n");
  EXPECT_EQ(nk::shared::Read_Total_Sum(), nk::shared::Total_Last);
  EXPECT_EQ(Run("-0.01"), "");
  EXPECT_EQ(nk::shared::Read_Total_Sum(), nk::shared::Total_Last - 1);
}

TEST_F(Execute, BuiltinsWriteTheirOutputAndEnterHistory) {
  EXPECT_EQ(Run("set x=5"), "");
  EXPECT_EQ(Run("set x=6"), "");
  EXPECT_EQ(Run("set"), "x= 5\nx= 6\n");
  EXPECT_EQ(Run("put x"), " 5 6\n");
  EXPECT_EQ(Run("put_line x"), " 5 6\n");
  EXPECT_EQ(Run("put"), "\n");
  EXPECT_EQ(Run("unset x"), "");
  EXPECT_EQ(Run("put x"), " 6\n");
  EXPECT_EQ(Run("alias ll=ls"), "");
  EXPECT_EQ(Run("alias"), "ll=ls\n");
  EXPECT_EQ(Run("unalias ll"), "");
  EXPECT_EQ(Run("alias"), "");
  EXPECT_EQ(state_.History_Count, 12U);
  EXPECT_EQ(Last_History(), "alias");
  EXPECT_TRUE(state_.Line.empty());
}

TEST_F(Execute, CdChangesDirectoryUnderTheLockAndReportsFailures) {
  const std::string work = root_ + "/work";
  const std::string elsewhere = root_ + "/elsewhere";
  char cwd[PATH_MAX];

  EXPECT_EQ(Run("cd -"), "no old_pwd.\n");
  EXPECT_EQ(Run("cd " + elsewhere), "");
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), elsewhere);
  EXPECT_EQ(terminal_.Old_Pwd, work);

  EXPECT_EQ(Run("cd /does/not/exist"), "Directory not found\n");
  EXPECT_EQ(terminal_.Old_Pwd, work);
  ASSERT_TRUE(state_.Directory_Lock.try_acquire()) << "the failed cd kept Directory_Lock";
  state_.Directory_Lock.release();

  EXPECT_EQ(Run("cd -"), "");
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), work);
  ASSERT_TRUE(state_.Directory_Lock.try_acquire());
  state_.Directory_Lock.release();
  EXPECT_EQ(state_.History_Count, 4U);
}

TEST_F(Execute, ExternalCommandsGetTheRestOfTheLineUnchanged) {
  struct Case {
    const char* Line;
    const char* Args;
  };
  const Case cases[] = {
      {"record", ""},
      {"record a b", "[a]\n[b]\n"},
      {"record  a", "[a]\n"},
      {"record \"a b\" 'c  d'", "[a b]\n[c  d]\n"},
      {"record $((1+2)) x*z", "[3]\n[x*z]\n"},
      {"record one | cat > /dev/null; record two", "[two]\n"},
      {"record ", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.Line), "") << c.Line;
    EXPECT_EQ(Args(), c.Args) << c.Line;
    EXPECT_EQ(state_.Last_Status, 0) << c.Line;
    EXPECT_EQ(Last_History(), c.Line);
  }
  EXPECT_EQ(Run("spaced"), "");
  EXPECT_EQ(Args(), "spaced\n") << "a path with a blank must reach sh quoted";
}

TEST_F(Execute, FailuresAreReportedAfterEveryLineUntilASuccess) {
  EXPECT_EQ(Run("fail 2"), "Error: errno =  2");
  EXPECT_EQ(state_.Last_Status, 2);
  EXPECT_EQ(Run("set"), "Error: errno =  2");
  EXPECT_EQ(Run("no_such_program_here"), "\nCommand not found\nError: errno =  2");
  EXPECT_EQ(Run("kill -TERM $$"), "Error: errno =  143");
  EXPECT_EQ(Run("fail 0"), "");
  EXPECT_EQ(Run("no_such_program_here x"), "\nCommand not found\n");
  EXPECT_EQ(state_.Last_Status, 0);
  state_.Last_Status = -1;
  EXPECT_EQ(Run("set"), "Error: errno = -1");
  EXPECT_EQ(state_.History_Count, 7U);
}

TEST_F(Execute, AliasesReplaceTheFirstWordAndLoseTheirQuotes) {
  Run("alias rr=\"record -l\"");
  Run("alias rr=record");  // the first definition wins
  Run("alias q=record\"\"");
  EXPECT_EQ(Run("rr /tmp"), "");
  EXPECT_EQ(Args(), "[-l]\n[/tmp]\n");
  EXPECT_EQ(Last_History(), "record -l /tmp");
  EXPECT_EQ(Run("rr"), "");
  EXPECT_EQ(Args(), "[-l]\n");
  EXPECT_EQ(Last_History(), "record -l");
  EXPECT_EQ(Run("q \"x y\""), "");
  EXPECT_EQ(Args(), "[x]\n[y]\n") << "the whole substituted line loses its quotes";
  EXPECT_EQ(Run("Rr x"), "\nCommand not found\n") << "alias names are case-sensitive";
  EXPECT_EQ(Run("record \"x y\""), "");
  EXPECT_EQ(Args(), "[x y]\n") << "no alias: quotes stay";
}

TEST_F(Execute, ProgramNamesWithASlashAreNotSearched) {
  const std::string record = root_ + "/bin/record";
  EXPECT_EQ(Run(record + " z"), "");
  EXPECT_EQ(Args(), "[z]\n");
  EXPECT_EQ(Run("bin/record z"), "\nCommand not found\n");
  EXPECT_EQ(Run("../bin/record y"), "");
  EXPECT_EQ(Args(), "[y]\n");
}

TEST_F(Execute, AnUnsetPathFindsNothing) {
  ::unsetenv("PATH");
  EXPECT_EQ(Run("record a"), "\nCommand not found\n");
  ::setenv("PATH", "", 1);
  EXPECT_EQ(Run("record a"), "\nCommand not found\n");
}

}  // namespace
