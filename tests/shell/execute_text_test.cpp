#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "alias.hpp"
#include "command_text.hpp"

namespace {

TEST(ExecuteText, AliasWordIsTheFirstWordOfTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"ll /tmp", "ll"}, {"ll", "ll"},      {"ll   ", "ll"}, {" ll x", ""},
      {"   ", ""},       {"ll  x  ", "ll"}, {"", ""},        {"a\tb c", "a\tb"},
  };
  for (const auto& [line, word] : cases) {
    EXPECT_EQ(nk::shell::Alias_Word(line), word) << '"' << line << '"';
  }
}

TEST(ExecuteText, OnlyTheFirstMatchingAliasApplies) {
  nk::shell::Attribut_Table aliases(8);
  aliases.Add(nk::shell::Create("ll", "\"ls -l\""));
  aliases.Add(nk::shell::Create("ll", "dir"));
  aliases.Add(nk::shell::Create("q", "say\"\"it"));
  const std::pair<std::string, std::optional<std::string>> cases[] = {
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
  for (const auto& [line, result] : cases) {
    EXPECT_EQ(nk::shell::Substitute_Alias(line, aliases), result) << line;
  }
}

TEST(ExecuteText, CommandTextReplacesOnlyTheProgramName) {
  // Path found, program name, line, command text.
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      {"/bin/ls", "ls", "ls", "/bin/ls"},
      {"/bin/ls", "ls", "ls -l /tmp", "/bin/ls -l /tmp"},
      {"/bin/ls", "ls", "ls  -l", "/bin/ls  -l"},
      {"/bin/ls", "ls", "ls ", "/bin/ls "},
      {"/my bin/ls", "ls", "ls x", "'/my bin/ls' x"},
      {"./it's", "it's", "it's a", "'./it'\\''s' a"},
      {"/bin/echo", "echo", "echo $HOME | wc", "/bin/echo $HOME | wc"},
  };
  for (const auto& [path, name, line, text] : cases) {
    EXPECT_EQ(nk::shell::Command_Text(path, name, line), text) << line;
  }
}

}  // namespace
