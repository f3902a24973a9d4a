// Completion of the last word over temporary directory trees. Every test runs in a
// fresh directory and returns to the working directory it found.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "shell/nk-shell.hpp"

namespace nk::shell {
namespace {

namespace fs = std::filesystem;

// Found names hold only 8-bit characters, so a byte-wise copy shows them exactly.
std::string Bytes(const Wide_String& text) {
  return std::string(text.begin(), text.end());
}

std::vector<std::string> Found(const Completion_Answer& answer) {
  std::vector<std::string> names;
  for (const Wide_String& name : *answer.Result->Found_Names) names.push_back(Bytes(name));
  return names;
}

// The matches, order aside: directories deliver entries in an order of their own.
std::set<std::string> Matches(const Completion_Answer& answer) {
  const std::vector<std::string> names = Found(answer);
  EXPECT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "");
  return {names.begin() + (names.empty() ? 0 : 1), names.end()};
}

std::string New_Line(const Completion_Answer& answer) {
  return answer.New_Line ? Bytes(*answer.New_Line) : "(none)";
}

class CompletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(home_, 0);
    fs::path base = fs::temp_directory_path();
    if (base.string().find('_') != std::string::npos) base = "/tmp";
    std::string templ = (base / "nkcompXXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    root_ = fs::canonical(templ).string();
    // The tests' words hold "_" so that they never occur in the directory's own path.
    ASSERT_EQ(root_.find('_'), std::string::npos) << root_;
    Enter("");
  }

  void TearDown() override {
    EXPECT_EQ(fchdir(home_), 0);
    close(home_);
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
  }

  // Creates the file `path` (relative to the test's directory) and its directories.
  void File(const std::string& path) {
    const fs::path full = fs::path(root_) / path;
    fs::create_directories(full.parent_path());
    std::ofstream(full) << "x";
  }
  void Dir(const std::string& path) { fs::create_directories(fs::path(root_) / path); }
  void Enter(const std::string& path) {
    ASSERT_EQ(chdir((fs::path(root_) / path).c_str()), 0) << path;
  }
  std::string Root() const { return root_; }

 private:
  int home_ = -1;
  std::string root_;
};

TEST_F(CompletionTest, OneMatchInTheWorkingDirectoryBecomesItsAbsolutePath) {
  File("foo_1.txt");
  File("bar_2.txt");
  const std::string foo = Root() + "/foo_1.txt";
  const struct {
    const char* line;
    std::string new_line;
  } cases[] = {
      {"ls oo_1", "ls " + foo},              // a substring, not only a prefix
      {"ls oo_1   ", "ls " + foo},           // trailing blanks ignored
      {"oo_1", foo},                         // a lone word is replaced whole
      {"   oo_1  ", foo},                    // leading blanks dropped with it
      {"  ls  -l oo_1", "  ls  -l " + foo},  // the text before the word is kept
      {"ls f*1.t?t", "ls " + foo},           // wildcards in the word take effect
      {"ls {foo,baz}_", "ls " + foo},
  };
  for (const auto& c : cases) {
    const Completion_Answer answer = Complete_Last_Word(c.line);
    EXPECT_EQ(New_Line(answer), c.new_line) << c.line;
    EXPECT_EQ(Found(answer), (std::vector<std::string>{"", foo})) << c.line;
    EXPECT_EQ(answer.Result->Kind, Result_Kind::SPAWN);
  }
}

TEST_F(CompletionTest, SeveralOrNoMatchesGiveTheListAndNoLine) {
  File("a_1");
  File("a_2");
  File("b_1");
  Dir("a_dir");
  const Completion_Answer several = Complete_Last_Word("ls a_");
  EXPECT_FALSE(several.New_Line);
  EXPECT_EQ(Matches(several),
            (std::set<std::string>{Root() + "/a_1", Root() + "/a_2", Root() + "/a_dir"}));
  EXPECT_EQ(Found(several).size(), 4U);  // no duplicates

  const Completion_Answer none = Complete_Last_Word("ls zz_");
  EXPECT_FALSE(none.New_Line);
  EXPECT_EQ(Found(none), std::vector<std::string>{""});
}

TEST_F(CompletionTest, MatchIsCaseSensitive) {
  File("Foo_1");
  File("foo_2");
  EXPECT_EQ(New_Line(Complete_Last_Word("ls Foo_")), "ls " + Root() + "/Foo_1");
  EXPECT_EQ(New_Line(Complete_Last_Word("ls foo_")), "ls " + Root() + "/foo_2");
  EXPECT_EQ(Found(Complete_Last_Word("ls FOO_")), std::vector<std::string>{""});
}

TEST_F(CompletionTest, HiddenEntriesAreFoundButNeverDotAndDotDot) {
  File("d/.hidden_1");
  File("d/shown_1");
  File(".profile_1");
  EXPECT_EQ(New_Line(Complete_Last_Word("cat .prof")), "cat " + Root() + "/.profile_1");
  const Completion_Answer listing = Complete_Last_Word("ls d/");
  EXPECT_EQ(Matches(listing), (std::set<std::string>{"./d/.hidden_1", "./d/shown_1"}));
  EXPECT_EQ(Found(listing).size(), 3U);
}

TEST_F(CompletionTest, RelativeDirectoryPartStaysRelative) {
  File("src/main.c");
  File("lib/a.c");
  File("lib/b.c");
  const struct {
    const char* line;
    const char* new_line;
  } cases[] = {
      {"cat src/ma", "cat src/main.c"},
      {"cat src/", "cat src/main.c"},  // a word ending in "/" lists the directory
      {"cat ./src/ma", "cat src/main.c"},
      {"cat src/ai", "cat src/main.c"},
      {"cat src/zz", "(none)"},
      {"cat nope/ma", "(none)"},       // no such directory: nothing, no error
      {"cat src/main.c/x", "(none)"},  // a file is no directory
      {"cat src//ma", "(none)"},       // an empty component names no entry
  };
  for (const auto& c : cases) {
    EXPECT_EQ(New_Line(Complete_Last_Word(c.line)), c.new_line) << c.line;
  }
  EXPECT_EQ(Matches(Complete_Last_Word("cat lib/")),
            (std::set<std::string>{"./lib/a.c", "./lib/b.c"}));
}

TEST_F(CompletionTest, DotAndDotDotPrefixesFollowTheWalk) {
  File("here/main_1.c");
  File("peer_1");
  File("other/x_1.c");
  Enter("here");
  const struct {
    const char* line;
    const char* new_line;
    std::vector<std::string> found;
  } cases[] = {
      {"cat ./ma", "cat ./main_1.c", {"", "././main_1.c"}},
      {"cat ../eer_1", "cat ../peer_1", {"", "./../peer_1"}},
      {"cat ../other/x_", "cat ../other/x_1.c", {"", "../other/x_1.c"}},
      {"cat ./../other/x_", "cat ../other/x_1.c", {"", "./../other/x_1.c"}},
  };
  for (const auto& c : cases) {
    const Completion_Answer answer = Complete_Last_Word(c.line);
    EXPECT_EQ(New_Line(answer), c.new_line) << c.line;
    EXPECT_EQ(Found(answer), c.found) << c.line;
  }
  EXPECT_EQ(Matches(Complete_Last_Word("ls ../")),
            (std::set<std::string>{"./../here", "./../peer_1", "./../other"}));
}

TEST_F(CompletionTest, AbsoluteDirectoryPartIsWalkedFromTheRoot) {
  File("src/main.c");
  EXPECT_EQ(New_Line(Complete_Last_Word("cat " + Root() + "/src/ma")),
            "cat " + Root() + "/src/main.c");

  const fs::path path(Root());
  const std::string top = "/" + std::next(path.begin())->string();  // "/tmp" or alike
  const std::set<std::string> root_entries = Matches(Complete_Last_Word("ls /"));
  EXPECT_TRUE(root_entries.contains(top)) << top;
  EXPECT_FALSE(root_entries.contains("/.") || root_entries.contains("/.."));
  for (const std::string& name : root_entries) EXPECT_EQ(name.rfind('/'), 0U) << name;
}

TEST_F(CompletionTest, WildcardsInTheDirectoryPartSearchEveryMatchingDirectory) {
  File("src/main.c");
  File("lib/main.h");
  File("doc/readme");
  File("main.x");  // a plain file the "*" component matches ends its branch
  File(".git/main_1");
  Dir("link_target/sub");
  File("link_target/main.s");
  fs::create_directory_symlink(fs::path(Root()) / "link_target", fs::path(Root()) / "alias");
  fs::create_symlink(fs::path(Root()) / "nowhere", fs::path(Root()) / "broken");

  EXPECT_EQ(Matches(Complete_Last_Word("ls */ma")),
            (std::set<std::string>{"./src/main.c", "./lib/main.h", "./.git/main_1",
                                   "./link_target/main.s", "./alias/main.s"}));
  EXPECT_EQ(Matches(Complete_Last_Word("ls {src,lib}/ma")),
            (std::set<std::string>{"./src/main.c", "./lib/main.h"}));
  EXPECT_EQ(New_Line(Complete_Last_Word("ls al*/ma")), "ls alias/main.s");
  EXPECT_EQ(Found(Complete_Last_Word("ls b*/ma")), std::vector<std::string>{""});
  // "." and ".." take part only for a component that is exactly "." or "..".
  File("main_2");
  EXPECT_EQ(Matches(Complete_Last_Word("ls .*/ma")), (std::set<std::string>{"./.git/main_1"}));
  EXPECT_EQ(Matches(Complete_Last_Word("ls ?/")), (std::set<std::string>{}));
}

TEST_F(CompletionTest, WordInTheDirectoryPathMatchesEveryEntry) {
  File("proj_x/a");
  File("proj_x/b");
  Enter("proj_x");
  EXPECT_EQ(Matches(Complete_Last_Word("ls j_x")),
            (std::set<std::string>{Root() + "/proj_x/a", Root() + "/proj_x/b"}));
}

TEST_F(CompletionTest, WorkingDirectoryNameIsNeverReadAsAPattern) {
  File("a[b/f_1");
  File("x*/f_1");
  File("xy/f_1");  // would match too if the working directory were a pattern
  Enter("a[b");
  EXPECT_EQ(New_Line(Complete_Last_Word("ls f_")), "ls " + Root() + "/a[b/f_1");
  Enter("x*");
  const Completion_Answer answer = Complete_Last_Word("ls f_");
  EXPECT_EQ(New_Line(answer), "ls " + Root() + "/x*/f_1");
  EXPECT_EQ(Found(answer).size(), 2U);
}

TEST_F(CompletionTest, IllFormedWordsFailBeforeAnythingIsRead) {
  File("src/main.c");
  const char* lines[] = {
      "ls a[b",        // name part
      "ls {src/ma",    // directory part
      "ls nope/[/ma",  // a later component, although the first one matches nothing
      "ls src/ma{",
  };
  for (const char* line : lines) {
    EXPECT_THROW(Complete_Last_Word(line), Completion_Error) << line;
  }
}

TEST_F(CompletionTest, UnreadableDirectoryOnTheWalkIsAnError) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  File("locked/x_1");
  File("open/x_2");
  ASSERT_EQ(chmod((Root() + "/locked").c_str(), 0), 0);
  for (const char* line : {"ls */x_", "ls locked/x", "ls locked/"}) {
    try {
      Complete_Last_Word(line);
      ADD_FAILURE() << line << " succeeded";
    } catch (const Completion_Error& error) {
      EXPECT_NE(std::string(error.what()).find("locked"), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(New_Line(Complete_Last_Word("ls open/x")), "ls open/x_2");
}

TEST_F(CompletionTest, FailedSearchLeavesTheGivenListAsItWas) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  for (const char* name : {"a", "b", "c", "d"}) File(std::string(name) + "/x_1");
  // Lock the directory delivered last, so that matches are collected before the failure.
  std::string last;
  for (const fs::directory_entry& entry : fs::directory_iterator(Root())) {
    last = entry.path().filename().string();
  }
  ASSERT_EQ(chmod((Root() + "/" + last).c_str(), 0), 0);
  auto result = New_Spawn_Result();
  result->Found_Names->push_back(U"kept");
  EXPECT_THROW(Search_Directory("*/", "*", *result), Completion_Error);
  EXPECT_EQ(*result->Found_Names, (Wide_String_Array{U"", U"kept"}));
}

TEST_F(CompletionTest, SearchDirectoryAppendsAndChecksThePatternFirst) {
  File("d/x_1");
  auto result = New_Spawn_Result();
  Search_Directory("d/", "*x_*", *result);
  Search_Directory("d/", "*x_*", *result);
  EXPECT_EQ(*result->Found_Names, (Wide_String_Array{U"", U"./d/x_1", U"./d/x_1"}));

  Search_Directory("", "*", *result);  // an empty directory part finds nothing
  EXPECT_EQ(result->Found_Names->size(), 3U);
  EXPECT_THROW(Search_Directory("", "[", *result), Completion_Error);
}

TEST_F(CompletionTest, BlankLineHasNoWord) {
  for (const char* line : {" ", "    "}) {
    const Completion_Answer answer = Complete_Last_Word(line);
    EXPECT_FALSE(answer.New_Line);
    EXPECT_EQ(Found(answer), std::vector<std::string>{""});
  }
}

TEST_F(CompletionTest, DeletedWorkingDirectoryIsAnError) {
  Dir("gone");
  Enter("gone");
  ASSERT_EQ(rmdir((Root() + "/gone").c_str()), 0);
  EXPECT_THROW(Complete_Last_Word("ls f"), Completion_Error);
}

}  // namespace
}  // namespace nk::shell
