// The pure text operations on command lines, alias substitution and the command text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "alias.hpp"
#include "command_text.hpp"
#include "nk-shell.hpp"

namespace nk::shell {
namespace {

TEST(Text, RecognizeBuiltin) {
  using enum Builtin_Command;
  const std::pair<std::string, Builtin_Command> cases[] = {
      // clang-format off
      {"cd /tmp", CD}, {"Cd", CD}, {"  cd /tmp", NONE}, {"put_line x", PUT_LINE},
      {"PUT_LINE", PUT_LINE}, {"put x", PUT}, {"unset", UNSET}, {"set a=1", SET}, {"alias", ALIAS},
      {"UnAlias ll", UNALIAS}, {"", NONE}, {"cd/tmp", NONE}, {"cd\t/tmp", NONE}, {"cdx", NONE},
      {"setx=1", NONE}, {"put_", NONE}, {"ls -l", NONE},
      // clang-format on
  };
  for (const auto& [line, command] : cases) {
    EXPECT_EQ(Recognize_Builtin(line), command) << "[" << line << "]";
  }
}

TEST(Text, CommandNameAndSplitWords) {
  const std::pair<std::string, std::string> names[] = {
      {"ls -l", "ls"},   {" ls -l", " ls -l"}, {"   ", ""},        {"", ""},
      {"ls  -l ", "ls"}, {"ls ", "ls"},        {"a\tb c", "a\tb"}, {"/bin/ls x", "/bin/ls"},
  };
  for (const auto& [line, name] : names) EXPECT_EQ(Command_Name(line), name) << "[" << line << "]";
  const std::pair<std::string, std::vector<std::string>> words[] = {
      // clang-format off
      {"alias ll=\"ls -l\"", {"alias", "ll=\"ls -l\""}}, {"set x = 5", {"set", "x", "=", "5"}},
      {"cd my\\ dir", {"cd", "my dir"}}, {"    ", {}}, {"  a   b  ", {"a", "b"}}, {"a\tb", {"a\tb"}},
      {"\"a b\"c d", {"\"a b\"", "c", "d"}} /* the closing quote ends the word */,
      {"x\"a b\"", {"x\"a b\""}}, {"\"\"", {"\"\""}}, {"say \"open end", {"say", "\"open end"}},
      {"a\\\"b c\\\"", {"a\"b", "c\""}} /* an escaped quote opens nothing */,
      {"\"a\\\" b\"", {"\"a\" b\""}} /* nor closes anything */, {"a\\\\b", {"a\\b"}},
      {"\\ ", {" "}}, {"end\\", {"end\\"}} /* a lone final backslash is kept */,
      {"a \\", {"a", "\\"}},
      // clang-format on
  };
  for (const auto& [line, split] : words) EXPECT_EQ(Split_Words(line), split) << "[" << line << "]";
}

TEST(Text, SplitAssignment) {
  using Parts = std::optional<std::pair<std::string, std::string>>;
  const std::pair<std::string, Parts> cases[] = {
      // clang-format off
      {"set x=5", std::pair{"x", "5"}}, {"alias ll=\"ls -l\"", std::pair{"ll", "\"ls -l\""}},
      {"set a=b=c", std::pair{"a", "b=c"}}, {"set x= 5", std::pair{"x", " 5"}},
      {"set x = 5", std::pair{"", " 5"}}, {"set x", std::nullopt}, {"", std::nullopt},
      {"set x=", std::pair{"x", ""}}, {"set x=   ", std::pair{"x", ""}},
      {"set =7", std::pair{"", "7"}}, {"=7", std::pair{"", "7"}}, {"x=1", std::pair{"x", "1"}},
      {"set x=a b  ", std::pair{"x", "a b"}}, {"set  long_name=v", std::pair{"long_name", "v"}},
      // clang-format on
  };
  for (const auto& [line, expected] : cases) {
    const std::optional<Assignment> got = Split_Assignment(line);
    EXPECT_EQ(got ? Parts(std::pair(got->Name, got->Value)) : std::nullopt, expected) << line;
  }
}

TEST(Text, RemoveQuotesAndStripDotSlash) {
  const std::pair<std::string, std::string> quotes[] = {
      {"\"ls -l\"", "ls -l"}, {"\"\"", "\"\""},   {"\"", "\""},     {"", ""},
      {"a\"b\"c", "abc"},     {"plain", "plain"}, {"\"\" x", " x"},
  };
  for (const auto& [text, removed] : quotes) EXPECT_EQ(Remove_Quotes(text), removed) << text;
  const std::pair<std::string, std::string> names[] = {
      {"./a", "a"},     {"./", "./"}, {".", "."},       {"a/./b", "a/./b"},
      {"././x", "./x"}, {"", ""},     {"../a", "../a"}, {".//", "/"},
  };
  for (const auto& [name, stripped] : names) EXPECT_EQ(Strip_Dot_Slash(name), stripped) << name;
}

TEST(Text, OnlyTheFirstMatchingAliasApplies) {
  Attribut_Table aliases(8);
  aliases.Add(Create("ll", "\"ls -l\""));
  aliases.Add(Create("ll", "dir"));
  aliases.Add(Create("q", "say\"\"it"));
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      // clang-format off
      {"ll", "ls -l"}, {"ll /tmp", "ls -l /tmp"}, {"ll   ", "ls -l   "}, {"ll \"a b\"", "ls -l a b"},
      {"ll  x  ", "ls -l  x  "}, {"q", "sayit"}, {"LL", std::nullopt}, {"lls", std::nullopt},
      {" ll", std::nullopt}, {"ll\tx", std::nullopt} /* a tab is no blank */, {"   ", std::nullopt},
      {"x \"y\"", std::nullopt},
      // clang-format on
  };
  for (const auto& [line, result] : cases)
    EXPECT_EQ(Substitute_Alias(line, aliases), result) << line;
}

TEST(Text, CommandTextReplacesOnlyTheProgramName) {
  // Path found, program name, line, command text.
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      // clang-format off
      {"/bin/ls", "ls", "ls", "/bin/ls"}, {"/bin/ls", "ls", "ls -l /tmp", "/bin/ls -l /tmp"},
      {"/bin/ls", "ls", "ls  -l", "/bin/ls  -l"}, {"/bin/ls", "ls", "ls ", "/bin/ls "},
      {"/my bin/ls", "ls", "ls x", "'/my bin/ls' x"}, {"./it's", "it's", "it's a", "'./it'\\''s' a"},
      {"/bin/echo", "echo", "echo $HOME | wc", "/bin/echo $HOME | wc"},
      // clang-format on
  };
  for (const auto& [path, name, line, text] : cases) {
    EXPECT_EQ(Command_Text(path, name, line), text) << line;
  }
}

}  // namespace
}  // namespace nk::shell
