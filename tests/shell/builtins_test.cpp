// The builtins alias/set, unalias/unset, put/put_line and cd, seen through their output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "shell/nk-shell.hpp"

namespace nk::shell {
namespace {

enum class Step_Kind { DEFINE, UNDEFINE, PUT, PUT_LINE };

struct Step {
  Step_Kind kind;
  std::string text;    // the line, or the name for PUT and PUT_LINE
  std::string output;  // everything written by this step
};

// Runs `steps` on one table, checking each step's output; returns the table.
Attribut_Table Run_Steps(const std::vector<Step>& steps, std::size_t capacity = 2048) {
  Attribut_Table table(capacity);
  for (const Step& step : steps) {
    std::ostringstream out;
    switch (step.kind) {
      case Step_Kind::DEFINE:
        Define(step.text, table, out);
        break;
      case Step_Kind::UNDEFINE:
        Undefine(step.text, table);
        break;
      case Step_Kind::PUT:
        Put_Value(step.text, table, out);
        break;
      case Step_Kind::PUT_LINE:
        Put_Value_Line(step.text, table, out);
        break;
    }
    EXPECT_EQ(out.str(), step.output) << "after [" << step.text << "]";
  }
  return table;
}

constexpr auto D = Step_Kind::DEFINE;
constexpr auto U = Step_Kind::UNDEFINE;
constexpr auto P = Step_Kind::PUT;
constexpr auto L = Step_Kind::PUT_LINE;

TEST(Builtins, RedefiningAddsAndUnsetRemovesTheFirstOnly) {
  Run_Steps({{D, "set", ""},
             {D, "set x=5", ""},
             {D, "set", "x= 5\n"},
             {D, "set x=6", ""},
             {D, "set", "x= 5\nx= 6\n"},
             {P, "x", " 5 6"},
             {L, "x", " 5 6\n"},
             {U, "unset X", ""},  // letter case counts
             {D, "set", "x= 5\nx= 6\n"},
             {U, "unset x", ""},
             {D, "set", "x= 6\n"},
             {U, "unset x", ""},
             {U, "unset x", ""},
             {D, "set", ""}});
}

TEST(Builtins, UndefineKeepsTheOrderOfTheRest) {
  const Attribut_Table table = Run_Steps({{D, "set a=1", ""},
                                          {D, "set b=2", ""},
                                          {D, "set c=3", ""},
                                          {U, "unset b", ""},
                                          {D, "set", "a= 1\nc= 3\n"}});
  EXPECT_EQ(table.Count(), 2U);
}

TEST(Builtins, WrongShapesChangeNothingAndWriteNothing) {
  const Attribut_Table table = Run_Steps({{D, "set k=1", ""},
                                          {D, "set x", ""},
                                          {D, "set x = 5", ""},
                                          {D, "set x =5", ""},
                                          {D, "set x=a b", ""},
                                          {U, "unset k y", ""},
                                          {U, "unset", ""},
                                          {U, "unset nothing", ""},
                                          {D, "set", "k= 1\n"}});
  EXPECT_EQ(table.Count(), 1U);
}

TEST(Builtins, ListingShowsEveryKindOfImage) {
  Run_Steps(
      {{D, "alias", ""},
       {D, "alias ll=ls", ""},
       {D, "alias", "ll=ls\n"},
       {D, "alias ls=\"ls -l\"", ""},
       {D, "set  b=true", ""},
       {D, "set f=1.5", ""},
       {D, "set e=", ""},
       {D, "set =7", ""},
       {D, "set n=-2", ""},
       {D, "set q=a\\ b", ""},
       {D, "alias", "ll=ls\nls=\"ls -l\"\nb=TRUE\nf= 1.50000E+00\ne=\n= 7\nn=-2\nq=a\\ b\n"}});
}

TEST(Builtins, PutWritesAllMatchesOnOneLine) {
  Run_Steps({{D, "set put_line=1", ""},
             {D, "set s=\"a b\"", ""},
             {D, "set s=TRUE", ""},
             {L, "nothing_defined", "\n"},
             {P, "nothing_defined", ""},
             {L, "put_line", " 1\n"},
             {L, "s", "\"a b\"TRUE\n"},
             {L, "s ", "\n"},  // the name is taken exactly, blank included
             {L, "", "\n"}});
}

TEST(Builtins, FullTableDropsTheNewEntrySilently) {
  std::vector<Step> steps;
  for (int i = 0; i < 2049; ++i) steps.push_back({D, "set v" + std::to_string(i) + "=1", ""});
  const Attribut_Table table = Run_Steps(steps);
  ASSERT_EQ(table.Count(), 2048U);
  EXPECT_EQ(table.Entries().back().Name, "v2047");
  std::ostringstream out;
  Put_Value_Line("v2048", table, out);
  EXPECT_EQ(out.str(), "\n");
  // Space freed by unset is usable again.
  Attribut_Table again = Run_Steps(steps, 2);
  Undefine("unset v0", again);
  Define("set w=2", again, out);
  ASSERT_EQ(again.Count(), 2U);
  EXPECT_EQ(again.Entries()[0].Name, "v1");
  EXPECT_EQ(again.Entries()[1].Name, "w");
}

// Every cd test runs in a fresh directory tree and leaves the working directory and HOME
// as it found them.
class Builtins_Cd : public ::testing::Test {
 protected:
  void SetUp() override {
    start_fd_ = ::open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(start_fd_, 0);
    if (const char* home = std::getenv("HOME")) saved_home_ = home;
    std::string pattern = (std::filesystem::temp_directory_path() / "nk_cd_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = std::filesystem::canonical(pattern).string();
    for (const char* dir : {"a", "b", "my dir", "home", "a/sub"}) {
      std::filesystem::create_directory(root_ + "/" + dir);
    }
    std::ofstream(root_ + "/file") << "x";
    ASSERT_EQ(::chdir(root_.c_str()), 0);
  }

  void TearDown() override {
    if (start_fd_ >= 0) {
      EXPECT_EQ(::fchdir(start_fd_), 0);
      ::close(start_fd_);
    }
    if (saved_home_) {
      ::setenv("HOME", saved_home_->c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
    if (!root_.empty()) {
      std::error_code ignored;
      std::filesystem::permissions(root_ + "/locked", std::filesystem::perms::owner_all, ignored);
      std::filesystem::remove_all(root_, ignored);
    }
  }

  static std::string Cwd() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
  }

  // cd with `line` and `old_pwd`; the new Old_Pwd, or nothing when it threw Directory_Error.
  std::optional<std::string> Cd(const std::string& line, const std::string& old_pwd) {
    out_.str("");
    try {
      return Change_Directory(line, old_pwd, out_);
    } catch (const Directory_Error&) {
      return std::nullopt;
    }
  }

  int start_fd_ = -1;
  std::optional<std::string> saved_home_;
  std::string root_;
  std::ostringstream out_;
};

TEST_F(Builtins_Cd, DashWithoutOldPwdSaysSo) {
  EXPECT_EQ(Cd("cd -", ""), "");
  EXPECT_EQ(out_.str(), "no old_pwd.\n");
  EXPECT_EQ(Cwd(), root_);
}

TEST_F(Builtins_Cd, DashGoesBackAndForth) {
  const std::optional<std::string> old1 = Cd("cd " + root_ + "/a", "");
  EXPECT_EQ(old1, root_);
  EXPECT_EQ(Cwd(), root_ + "/a");
  const std::optional<std::string> old2 = Cd("cd -", *old1);
  EXPECT_EQ(old2, root_ + "/a");
  EXPECT_EQ(Cwd(), root_);
  EXPECT_EQ(Cd("cd -", *old2), root_);
  EXPECT_EQ(Cwd(), root_ + "/a");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(Builtins_Cd, FailedChangeLeavesEverythingAsItWas) {
  const std::string old = *Cd("cd b", "");
  for (const char* line : {"cd /does/not/exist", "cd ../file", "cd missing"}) {
    EXPECT_EQ(Cd(line, old), std::nullopt) << line;
    EXPECT_EQ(Cwd(), root_ + "/b") << line;
    EXPECT_EQ(out_.str(), "") << line;
  }
  // The failed commands left Old_Pwd alone, so cd - returns to the first directory.
  EXPECT_EQ(Cd("cd -", old), root_ + "/b");
  EXPECT_EQ(Cwd(), root_);
}

TEST_F(Builtins_Cd, ArgumentShapes) {
  EXPECT_EQ(Cd("cd a b", "kept"), "kept");  // three words: nothing happens
  EXPECT_EQ(Cwd(), root_);
  EXPECT_EQ(Cd("cd my\\ dir", "kept"), root_);
  EXPECT_EQ(Cwd(), root_ + "/my dir");
  EXPECT_EQ(Cd("CD ../a/sub", "kept"), root_ + "/my dir");  // relative, taken literally
  EXPECT_EQ(Cwd(), root_ + "/a/sub");
  EXPECT_EQ(Cd("cd ~", "kept"), std::nullopt);  // no ~ expansion
  EXPECT_EQ(Cwd(), root_ + "/a/sub");
}

TEST_F(Builtins_Cd, AloneGoesHome) {
  ::setenv("HOME", (root_ + "/home").c_str(), 1);
  EXPECT_EQ(Cd("cd", "kept"), root_);
  EXPECT_EQ(Cwd(), root_ + "/home");
  EXPECT_EQ(Cd("cd   ", "kept"), root_ + "/home");
  ::unsetenv("HOME");  // an unset HOME is an empty name, which no directory has
  EXPECT_EQ(Cd("cd", "kept"), std::nullopt);
  EXPECT_EQ(Cwd(), root_ + "/home");
}

TEST_F(Builtins_Cd, NulInNameIsRefused) {
  EXPECT_EQ(Cd(std::string("cd a\0zzz", 8), "kept"), std::nullopt);
  EXPECT_EQ(Cwd(), root_);
}

TEST_F(Builtins_Cd, DeletedWorkingDirectoryGivesEmptyOldPwd) {
  std::filesystem::create_directory(root_ + "/gone");
  ASSERT_EQ(::chdir((root_ + "/gone").c_str()), 0);
  ASSERT_EQ(::rmdir((root_ + "/gone").c_str()), 0);
  EXPECT_EQ(Cd("cd " + root_ + "/a", "kept"), "");
  EXPECT_EQ(Cwd(), root_ + "/a");
  EXPECT_EQ(Cd("cd -", ""), "");
  EXPECT_EQ(out_.str(), "no old_pwd.\n");
}

TEST_F(Builtins_Cd, RefusedPermissionIsADirectoryError) {
  if (::geteuid() == 0) GTEST_SKIP() << "root enters every directory";
  std::filesystem::create_directory(root_ + "/locked");
  ASSERT_EQ(::chmod((root_ + "/locked").c_str(), 0), 0);
  EXPECT_EQ(Cd("cd locked", "kept"), std::nullopt);
  EXPECT_EQ(Cwd(), root_);
}

}  // namespace
}  // namespace nk::shell
