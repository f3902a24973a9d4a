// Completion of the last word over scratch trees, and the wildcard patterns it compiles.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "nk-shell.hpp"
#include "pattern.hpp"
#include "scratch.hpp"

namespace nk::shell {
namespace {

using Name_Set = std::set<std::string>;

// The matches after the leading empty name, none twice; found names hold bytes only.
Name_Set Matches(const Completion_Answer& answer) {
  const Wide_String_Array& found = *answer.Result->Found_Names;
  EXPECT_EQ(found.at(0), U"");
  Name_Set names;
  for (std::size_t i = 1; i < found.size(); ++i) names.emplace(found[i].begin(), found[i].end());
  EXPECT_EQ(names.size(), found.size() - 1) << "a name found twice";
  return names;
}

std::string New_Line(const Completion_Answer& answer) {
  return answer.New_Line ? std::string(answer.New_Line->begin(), answer.New_Line->end()) : "(none)";
}

// Line, new line ("(none)" when there is no single match), matches.
using Case = std::tuple<std::string, std::string, Name_Set>;

void Check(const std::vector<Case>& cases) {
  for (const auto& [line, new_line, matches] : cases) {
    const Completion_Answer answer = Complete_Last_Word(line);
    EXPECT_EQ(New_Line(answer), new_line) << line;
    EXPECT_EQ(Matches(answer), matches) << line;
  }
}

using CompletionTest = Scratch_Test;

TEST_F(CompletionTest, LastWordIsReplacedByTheOneMatchOrListsThem) {
  for (const char* path : {"foo_1.txt", "bar_2.txt", "a_1", "a_2", "a_dir/b_1", "src/main.c",
                           "lib/main.h", "lib/.hidden_1", ".profile_1", ".git/main_1", "main.x",
                           "link_target/sub/x", "link_target/main.s"})
    File(path);
  fs::create_directory_symlink(fs::path(root_) / "link_target", fs::path(root_) / "alias");
  fs::create_symlink(fs::path(root_) / "nowhere", fs::path(root_) / "broken");
  const std::string foo = root_ + "/foo_1.txt";
  Check({
      // A word without "/" is found anywhere in the absolute paths of the working directory.
      {"ls oo_1", "ls " + foo, {foo}},
      {"   oo_1  ", foo, {foo}},                    // a lone word is replaced whole
      {"  ls  -l oo_1", "  ls  -l " + foo, {foo}},  // the text before it is kept
      {"ls f*1.t?t", "ls " + foo, {foo}},           // wildcards in the word take effect
      {"ls {foo,baz}_", "ls " + foo, {foo}},
      {"cat .prof", "cat " + root_ + "/.profile_1", {root_ + "/.profile_1"}},
      {"ls a_", "(none)", {root_ + "/a_1", root_ + "/a_2", root_ + "/a_dir"}},
      {"ls zz_", "(none)", {}},
      {"    ", "(none)", {}},
      // A directory part stays relative; "." and ".." are never listed.
      {"cat src/", "cat src/main.c", {"./src/main.c"}},  // "/" last lists the directory
      {"cat ./src/ai", "cat src/main.c", {"./src/main.c"}},
      {"ls lib/", "(none)", {"./lib/main.h", "./lib/.hidden_1"}},
      {"cat src/zz", "(none)", {}},
      {"cat nope/ma", "(none)", {}},       // no such directory: nothing, no error
      {"cat src/main.c/x", "(none)", {}},  // a file is no directory
      {"cat src//ma", "(none)", {}},       // an empty component names no entry
      // Wildcards in the directory part search every matching directory, links included.
      {"ls */ma",
       "(none)",
       {"./src/main.c", "./lib/main.h", "./.git/main_1", "./link_target/main.s", "./alias/main.s"}},
      {"ls {src,lib}/ma", "(none)", {"./src/main.c", "./lib/main.h"}},
      {"ls al*/ma", "ls alias/main.s", {"./alias/main.s"}},
      {"ls b*/ma", "(none)", {}},
      {"ls .*/ma", "ls .git/main_1", {"./.git/main_1"}},  // "." and ".." only when named exactly
      {"ls ?/", "(none)", {}},
      // An absolute directory part is walked from the root.
      {"cat " + root_ + "/src/ma", "cat " + root_ + "/src/main.c", {root_ + "/src/main.c"}},
  });
  EXPECT_TRUE(Matches(Complete_Last_Word("ls /")).contains("/tmp"));
}

TEST_F(CompletionTest, DotAndDotDotPrefixesFollowTheWalk) {
  for (const char* path : {"here/main_1.c", "peer_1", "other/x_1.c"}) File(path);
  Enter("here");
  Check({{"cat ./ma", "cat ./main_1.c", {"././main_1.c"}},
         {"cat ../eer_1", "cat ../peer_1", {"./../peer_1"}},
         {"cat ../other/x_", "cat ../other/x_1.c", {"../other/x_1.c"}},
         {"cat ./../other/x_", "cat ../other/x_1.c", {"./../other/x_1.c"}},
         {"ls ../", "(none)", {"./../here", "./../peer_1", "./../other"}}});
}

TEST_F(CompletionTest, WorkingDirectoryNameIsNeverReadAsAPattern) {
  // "xy" would match too if the working directory "x*" were read as a pattern.
  for (const char* path : {"a[b/f_1", "x*/f_1", "xy/f_1", "proj_x/a", "proj_x/b"}) File(path);
  Enter("a[b");
  Check({{"ls f_", "ls '" + root_ + "/a[b/f_1'", {root_ + "/a[b/f_1"}}});
  Enter("x*");
  Check({{"ls f_", "ls '" + root_ + "/x*/f_1'", {root_ + "/x*/f_1"}}});
  Enter("proj_x");  // a word found in the working directory's own path matches every entry
  Check({{"ls j_x", "(none)", {root_ + "/proj_x/a", root_ + "/proj_x/b"}}});
}

TEST_F(CompletionTest, SearchDirectoryAppendsAndIllFormedWordsAreErrors) {
  File("src/main.c");
  auto result = New_Spawn_Result();
  Search_Directory("src/", "*ma*", *result);
  Search_Directory("src/", "*ma*", *result);
  Search_Directory("", "*", *result);  // an empty directory part finds nothing
  EXPECT_EQ(*result->Found_Names, (Wide_String_Array{U"", U"./src/main.c", U"./src/main.c"}));
  EXPECT_THROW(Search_Directory("", "[", *result), Completion_Error);
  // Name part, directory part, a later component although the first one matches nothing.
  for (const char* line : {"ls a[b", "ls {src/ma", "ls nope/[/ma", "ls src/ma{"})
    EXPECT_THROW(Complete_Last_Word(line), Completion_Error) << line;
  File("gone/x");
  Enter("gone");
  fs::remove_all(fs::path(root_) / "gone");
  EXPECT_THROW(Complete_Last_Word("ls f"), Completion_Error);  // no working directory
}

TEST_F(CompletionTest, UnreadableDirectoryIsAnErrorThatLeavesTheListAsItWas) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  for (const char* name : {"dir_a", "dir_b", "dir_c", "dir_d"}) File(std::string(name) + "/x_1");
  // Lock the directory delivered last, so that matches are collected before the failure.
  std::string last;
  for (const auto& entry : fs::directory_iterator(root_)) last = entry.path().filename();
  ASSERT_EQ(chmod((root_ + "/" + last).c_str(), 0), 0);
  for (const std::string& line :
       {std::string("ls */x_"), "ls " + last + "/x", "ls " + last + "/"}) {
    try {
      Complete_Last_Word(line);
      ADD_FAILURE() << line << " succeeded";
    } catch (const Completion_Error& error) {
      EXPECT_NE(std::string(error.what()).find(last), std::string::npos) << error.what();
    }
  }
  auto result = New_Spawn_Result();
  result->Found_Names->push_back(U"kept");
  EXPECT_THROW(Search_Directory("*/", "*", *result), Completion_Error);
  EXPECT_EQ(*result->Found_Names, (Wide_String_Array{U"", U"kept"}));
  const std::string other = last == "dir_a" ? "dir_b" : "dir_a";  // still searchable
  EXPECT_EQ(New_Line(Complete_Last_Word("ls " + other + "/x")), "ls " + other + "/x_1");
}

// What /bin/sh -c `command` writes.
std::string Output_Of(const std::string& command) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string out(4096, '\0');
  out.resize(std::fread(out.data(), 1, out.size(), pipe));
  ::pclose(pipe);
  return out;
}

// Quoted for sh only when special to it (the README's list); builtins split them back whole.
TEST_F(CompletionTest, CompletedNamesReachTheirCommandAsExactlyThemselves) {
  std::vector<std::pair<std::string, bool>> cases;  // name, quoted
  for (const char special : std::string_view(" \t\n'\"\\$`;&|<>()*?[#~=%{}"))
    cases.push_back({std::string("a") + special + "b", true});
  for (const char* trap : {"it's", "'", "$(touch hit)", "`touch hit`", "x;touch hit", "a b&c"})
    cases.push_back({trap, true});
  for (const char* plain : {"plain.txt", "caf\xc3\xa9.txt", "\xe6\x97\xa5\xe6\x9c\xac", "g++-12",
                            "a!b^c,d:e@f]", "bad\xff\xfe.txt", "-dash"})
    cases.push_back({plain, false});
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const auto& [name, quoted] = cases[k];
    const std::string dir = "d" + std::to_string(k) + "/", path = dir + name;
    File(path);  // alone in its directory, so that it completes
    const Completion_Answer answer = Complete_Last_Word("printf %s " + dir);
    ASSERT_TRUE(answer.New_Line) << name;
    const std::string line = text::Encode_Utf8(*answer.New_Line);
    EXPECT_EQ(line == "printf %s " + path, !quoted) << line;
    EXPECT_EQ(Output_Of(line), path) << line;
    const std::string cd = text::Encode_Utf8(*Complete_Last_Word("cd " + dir).New_Line);
    EXPECT_EQ(Split_Words(cd), (std::vector<std::string>{"cd", path})) << cd;
    const auto escaped = std::count_if(path.begin(), path.end(),
                                       [](char c) { return c == ' ' || c == '"' || c == '\\'; });
    EXPECT_EQ(cd.size(), 3 + path.size() + escaped) << cd;
  }
  EXPECT_EQ(Quote_If_Special(""), "''");  // else an empty argument would vanish
  EXPECT_FALSE(fs::exists(root_ + "/hit")) << "nothing in a name ran";
}

TEST(PatternSyntax, MatchesWholeTextsAsDocumented) {
  const std::tuple<const char*, std::string, bool> cases[] = {
      // pattern, text, matches
      // clang-format off
      // Plain characters, whole text, case-sensitive.
      {"abc", "abc", true}, {"abc", "abcd", false}, {"abc", "xabc", false}, {"abc", "ab", false},
      {"", "", true}, {"", "a", false}, {"Foo", "foo", false},
      // Star: any run, the empty run and "/" included. Question mark: one character.
      {"*", "", true}, {"a*c", "ac", true}, {"a*c", "a/x/c", true}, {"a*c", "acb", false},
      {"*.c", "./src/main.c", true}, {"*.c", "./src/main.h", false},
      {"?", "", false}, {"?", "ab", false}, {"a?c", "a/c", true}, {"??", "\xff\x01", true},
      // Sets, ranges, negation, literal "]" and "-".
      {"[abc]", "b", true}, {"[abc]", "d", false}, {"[abc]", "ab", false}, {"[a-c]", "c", true},
      {"[a-c]", "d", false}, {"[a-cx-z]", "y", true}, {"[a-cx-z]", "m", false},
      {"[!a]", "a", false}, {"[!a]", "/", true}, {"[^a-c]", "b", false}, {"[^a-c]", "d", true},
      {"[]]", "]", true}, {"[]a]", "a", true}, {"[!]]", "]", false}, {"[!]]", "x", true},
      {"[a-]", "-", true}, {"[-a]", "-", true}, {"[-a]", "b", false}, {"[*?]", "*", true},
      {"[*?]", "x", false}, {"[[]", "[", true}, {"[{]x", "{x", true},
      // UTF-8: "?" and a negated set read one whole character, never a part of one.
      {"caf?.txt", "caf\xc3\xa9.txt", true}, {"caf??.txt", "caf\xc3\xa9.txt", false},
      {"?", "\xe6\x97\xa5", true}, {"?", "\xf0\x9f\x98\x80", true}, {"[!a]", "\xc3\xa9", true},
      {"[!a]?", "\xc3\xa9", false}, {"?", "\x80", false}, {"*", "a\x80", true},
      // Braces: alternatives, empty ones, nesting, sets inside.
      {"{a,b}", "b", true}, {"{a,b}", "c", false}, {"{a,b}", "ab", false},
      {"x{,y}z", "xz", true}, {"x{,y}z", "xyz", true}, {"x{,y}z", "xyyz", false},
      {"{}", "", true}, {"{}a", "a", true}, {"{a,{b,c}d}", "cd", true}, {"{a,{b,c}d}", "a", true},
      {"{a,{b,c}d}", "c", false}, {"{a,b}{c,d}", "bd", true}, {"{a,b}{c,d}", "bb", false},
      {"{*.c,*.h}", "x.h", true}, {"{[,}]x,y}", ",x", true}, {"{[,}]x,y}", "}x", true},
      {"{[,}]x,y}", "y", true}, {"{[,}]x,y}", "x", false},
      // Characters special only inside their construct stand for themselves.
      {"]", "]", true}, {"a}", "a}", true}, {"a,b", "a,b", true}, {"{a}}", "a}", true},
      // clang-format on
  };
  for (const auto& [pattern, text, matches] : cases)
    EXPECT_EQ(Pattern(pattern).Matches(text), matches) << pattern << " on " << text;
  for (const char* literal : {"a}b", "a,b]", ".."}) EXPECT_TRUE(Pattern(literal).Is_Literal());
  for (const char* wild : {"a*", "a?", "[a]", "{a}"}) EXPECT_FALSE(Pattern(wild).Is_Literal());
}

TEST(PatternErrors, IllFormedPatternsAreRejectedWhenCompiled) {
  const std::string deep_braces = std::string(65, '{') + std::string(65, '}');
  const std::pair<std::string, const char*> cases[] = {
      // clang-format off
      {"[", "without \"]\""}, {"[abc", "without \"]\""}, {"a[", "without \"]\""},
      {"[]", "without \"]\""}, {"[!]", "without \"]\""}, {"x[a-", "without \"]\""},
      {"{", "without \"}\""}, {"{a,b", "without \"}\""}, {"a{b{c}", "without \"}\""},
      {"{[}", "without \"]\""}, {"[z-a]", "reversed range"},
      {"[\xc3\xa9]", "non-ASCII"}, {"[a-\xc3\xa9]", "non-ASCII"},
      {deep_braces, "nested too deeply"}, {std::string(4097, 'a'), "longer than"},
      // clang-format on
  };
  for (const auto& [pattern, fault] : cases) {
    try {
      Pattern compiled(pattern);
      ADD_FAILURE() << "accepted \"" << pattern << "\"";
    } catch (const Completion_Error& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(fault), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
      if (pattern.size() < 100) {
        EXPECT_NE(message.find('"' + pattern + '"'), std::string::npos) << message;
      }
    }
  }
  // The largest well-formed patterns are still accepted.
  EXPECT_TRUE(Pattern(std::string(64, '{') + "a" + std::string(64, '}')).Matches("a"));
  const Pattern longest("x" + std::string(4094, 'a') + "*");
  EXPECT_TRUE(longest.Matches("x" + std::string(4094, 'a') + "yz"));
  EXPECT_FALSE(longest.Matches("x" + std::string(4093, 'a')));
}

// A backtracking matcher would take about 200^5 steps here; these must answer at once.
TEST(PatternLinearTime, ManyStarsAgainstLongRuns) {
  const std::string run(200, 'a');
  EXPECT_FALSE(Pattern("*a*a*a*a*a*b").Matches(run));
  EXPECT_TRUE(Pattern("*a*a*a*a*a*b").Matches(run + "b"));
  EXPECT_FALSE(Pattern("*{a,aa}*{a,aa}*{a,aa}*{a,aa}*b").Matches(run));
  // Past 64 positions the automaton takes its general path.
  std::string many = "*";
  for (int i = 0; i < 40; ++i) many += "a*";
  EXPECT_FALSE(Pattern(many + "b").Matches(run));
  EXPECT_TRUE(Pattern(many + "b").Matches(run + "b"));
  EXPECT_FALSE(Pattern(many).Matches(std::string(39, 'a')));
  EXPECT_TRUE(Pattern(many).Matches(std::string(40, 'a')));
}

// "*a" and twelve "?" has 2^13 deterministic states, more than the matcher caches.
TEST(PatternLinearTime, ManyStatesGiveTheSameAnswers) {
  const Pattern pattern("*a" + std::string(12, '?'));
  std::mt19937 random(7);
  std::string text;
  Pattern::State state = pattern.Start();
  Pattern::State scratch;
  for (int i = 0; i < 20000; ++i) {
    text += (random() % 2 == 0) ? 'a' : 'b';
    pattern.Advance(state, text.substr(text.size() - 1), scratch);
    const bool expected = text.size() >= 13 && text[text.size() - 13] == 'a';
    ASSERT_EQ(pattern.Accepts(state), expected) << "after " << text.size() << " characters";
  }
}

}  // namespace
}  // namespace nk::shell
