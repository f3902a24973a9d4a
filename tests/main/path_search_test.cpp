#include "main/path_search.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

class PathSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nk-path-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    for (const char* d : {"/a", "/b", "/c", "/here", "/a/dir"}) {
      ASSERT_EQ(::mkdir((root_ + d).c_str(), 0755), 0);
    }
    Make("/a/only_a", 0755);
    Make("/a/shared", 0644);  // not executable: the search goes on to b
    Make("/b/shared", 0755);
    Make("/c/shared", 0755);
    Make("/here/local", 0755);
    ASSERT_EQ(::mkdir((root_ + "/b/dir").c_str(), 0755), 0);  // a directory named like a program
    Make("/c/dir", 0755);
    ASSERT_EQ(::chdir((root_ + "/here").c_str()), 0);
  }
  void TearDown() override {
    ::chdir(old_cwd_.c_str());
    std::system(("rm -rf '" + root_ + "'").c_str());
  }
  void Make(const std::string& name, mode_t mode) {
    std::ofstream(root_ + name) << "#!/bin/sh\n";
    ::chmod((root_ + name).c_str(), mode);
  }

  std::string root_;
  std::string old_cwd_;
};

TEST_F(PathSearch, FindsTheFirstExecutableRegularFile) {
  const std::string a = root_ + "/a";
  const std::string b = root_ + "/b";
  const std::string c = root_ + "/c";
  struct Case {
    std::string Name;
    std::string Path;
    std::optional<std::string> Expected;
  };
  const std::vector<Case> cases = {
      {"only_a", a + ":" + b, a + "/only_a"}, {"shared", a + ":" + b + ":" + c, b + "/shared"},
      {"shared", c + ":" + b, c + "/shared"}, {"shared", a + "/:" + c, c + "/shared"},
      {"dir", b + ":" + c, c + "/dir"},       {"missing", a + ":" + b + ":" + c, std::nullopt},
      {"local", a + "::" + b, "./local"},     {"local", a + ":", "./local"},
      {"local", ":" + a, "./local"},          {"local", a, std::nullopt},
      {"", a + "::" + b, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nk::main::Search_Path(c.Name, c.Path), c.Expected) << c.Name << " on " << c.Path;
  }
}

TEST_F(PathSearch, NamesWithASlashAreTakenAsGiven) {
  const std::string a = root_ + "/a";
  EXPECT_EQ(nk::main::Search_Path("./local", a), "./local");
  EXPECT_EQ(nk::main::Search_Path(a + "/only_a", ""), a + "/only_a");
  EXPECT_EQ(nk::main::Search_Path("../a/only_a", a), "../a/only_a");
  EXPECT_EQ(nk::main::Search_Path(a + "/shared", a), std::nullopt);
  EXPECT_EQ(nk::main::Search_Path(a + "/dir", a), std::nullopt);
  EXPECT_EQ(nk::main::Search_Path("a/only_a", root_), std::nullopt);
}

}  // namespace
