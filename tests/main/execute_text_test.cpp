#include <gtest/gtest.h>

#include <string>

#include "main/alias.hpp"
#include "main/command_text.hpp"
#include "main/total_line.hpp"

namespace {

TEST(ExecuteText, AliasWordIsTheFirstWordOfTheLine) {
  struct Case {
    const char* Line;
    const char* Word;
  };
  const Case cases[] = {
      {"ll /tmp", "ll"}, {"ll", "ll"},      {"ll   ", "ll"}, {" ll x", ""},
      {"   ", ""},       {"ll  x  ", "ll"}, {"", ""},        {"a\tb c", "a\tb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nk::main::Alias_Word(c.Line), c.Word) << '"' << c.Line << '"';
  }
}

TEST(ExecuteText, OnlyTheFirstMatchingAliasApplies) {
  nk::shell::Attribut_Table aliases(8);
  aliases.Add(nk::shell::Create("ll", "\"ls -l\""));
  aliases.Add(nk::shell::Create("ll", "dir"));
  aliases.Add(nk::shell::Create("q", "say\"\"it"));
  struct Case {
    const char* Line;
    std::optional<std::string> Result;
  };
  const Case cases[] = {
      {"ll", "ls -l"},
      {"ll /tmp", "ls -l /tmp"},
      {"ll   ", "ls -l   "},
      {"ll \"a b\"", "ls -l a b"},
      {"q", "sayit"},
      {"LL", std::nullopt},
      {"lls", std::nullopt},
      {" ll", std::nullopt},
      {"x \"y\"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nk::main::Substitute_Alias(c.Line, aliases), c.Result) << c.Line;
  }
}

TEST(ExecuteText, CommandTextReplacesOnlyTheProgramName) {
  struct Case {
    const char* Path;
    const char* Name;
    const char* Line;
    const char* Text;
  };
  const Case cases[] = {
      {"/bin/ls", "ls", "ls", "/bin/ls"},
      {"/bin/ls", "ls", "ls -l /tmp", "/bin/ls -l /tmp"},
      {"/bin/ls", "ls", "ls  -l", "/bin/ls  -l"},
      {"/bin/ls", "ls", "ls ", "/bin/ls "},
      {"/my bin/ls", "ls", "ls x", "'/my bin/ls' x"},
      {"./it's", "it's", "it's a", "'./it'\\''s' a"},
      {"/bin/echo", "echo", "echo $HOME | wc", "/bin/echo $HOME | wc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nk::main::Command_Text(c.Path, c.Name, c.Line), c.Text) << c.Line;
  }
}

TEST(ExecuteText, TotalLinesBeginWithASign) {
  EXPECT_TRUE(nk::main::Is_Total_Line("+"));
  EXPECT_TRUE(nk::main::Is_Total_Line("-3"));
  EXPECT_FALSE(nk::main::Is_Total_Line(" +3"));
  EXPECT_FALSE(nk::main::Is_Total_Line("3+"));
  EXPECT_FALSE(nk::main::Is_Total_Line(""));
}

}  // namespace
