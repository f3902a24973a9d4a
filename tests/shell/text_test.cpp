// The pure text operations on command lines.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "shell/nk-shell.hpp"

namespace nk::shell {
namespace {

using Words = std::vector<std::string>;

TEST(Text, NarrowBlanksEveryCharacterBeyondLatin1) {
  const Wide_String wide = {U'a',          U'\u00e9', U'\u00ff', U'\u0100', U'\u20ac',
                            U'\U0001F600', U'"',      U'\0',     U'z'};
  const std::string narrow = Narrow(wide);
  EXPECT_EQ(narrow, std::string("a\xe9\xff   \"") + '\0' + "z");
  // Widening gives back every byte as the character of the same code, high bytes included.
  EXPECT_EQ(Widen("a\xe9\xff\"z"), (Wide_String{U'a', U'\u00e9', U'\u00ff', U'"', U'z'}));
  std::string all;
  for (int code = 0; code < 256; ++code) all.push_back(static_cast<char>(code));
  EXPECT_EQ(Narrow(Widen(all)), all);
  EXPECT_EQ(Narrow(U""), "");
}

TEST(Text, RecognizeBuiltin) {
  const struct {
    std::string line;
    Builtin_Command expected;
  } cases[] = {
      {"CD /tmp", Builtin_Command::CD},
      {"cd /tmp", Builtin_Command::CD},
      {"Cd", Builtin_Command::CD},
      {"  cd /tmp", Builtin_Command::NONE},
      {"cd", Builtin_Command::CD},
      {" put_line ", Builtin_Command::NONE},
      {"put_line x", Builtin_Command::PUT_LINE},
      {"PUT_LINE", Builtin_Command::PUT_LINE},
      {"put x", Builtin_Command::PUT},
      {"unset", Builtin_Command::UNSET},
      {"set a=1", Builtin_Command::SET},
      {"alias", Builtin_Command::ALIAS},
      {"UnAlias ll", Builtin_Command::UNALIAS},
      {"none", Builtin_Command::NONE},
      {"", Builtin_Command::NONE},
      {"   ", Builtin_Command::NONE},
      {"cd/tmp", Builtin_Command::NONE},
      {"cd\t/tmp", Builtin_Command::NONE},
      {"cdx", Builtin_Command::NONE},
      {"setx=1", Builtin_Command::NONE},
      {"put_", Builtin_Command::NONE},
      {"ls -l", Builtin_Command::NONE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<int>(Recognize_Builtin(c.line)), static_cast<int>(c.expected))
        << "line [" << c.line << "]";
  }
}

TEST(Text, CommandName) {
  const struct {
    std::string line, expected;
  } cases[] = {
      {"ls -l", "ls"},
      {"ls", "ls"},
      {" ls -l", " ls -l"},
      {"   ", ""},
      {"", ""},
      {"ls  -l ", "ls"},
      {"ls ", "ls"},
      {"  ls", "  ls"},
      {"a\tb c", "a\tb"},
      {"/bin/ls x", "/bin/ls"},
  };
  for (const auto& c : cases) EXPECT_EQ(Command_Name(c.line), c.expected) << "[" << c.line << "]";
}

TEST(Text, SplitWords) {
  const struct {
    std::string line;
    Words expected;
  } cases[] = {
      {"alias ll=\"ls -l\"", {"alias", "ll=\"ls -l\""}},
      {"set x = 5", {"set", "x", "=", "5"}},
      {"cd my\\ dir", {"cd", "my dir"}},
      {"", {}},
      {"    ", {}},
      {"  a   b  ", {"a", "b"}},
      {"a\tb", {"a\tb"}},
      {"-x --y", {"-x", "--y"}},
      {"\"a b\"c d", {"\"a b\"", "c", "d"}},  // the closing quote ends the word
      {"x\"a b\"", {"x\"a b\""}},
      {"\"\"", {"\"\""}},
      {"say \"open end", {"say", "\"open end"}},
      {"a\\\"b c\\\"", {"a\"b", "c\""}},  // an escaped quote opens nothing
      {"\"a\\\" b\"", {"\"a\" b\""}},     // nor closes anything
      {"a\\\\b", {"a\\b"}},
      {"\\ ", {" "}},
      {"end\\", {"end\\"}},  // a lone final backslash is kept
      {"a \\", {"a", "\\"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Split_Words(c.line), c.expected) << "[" << c.line << "]";
}

TEST(Text, SplitAssignment) {
  const struct {
    std::string line;
    std::optional<std::pair<std::string, std::string>> expected;
  } cases[] = {
      {"set x=5", std::pair{"x", "5"}},
      {"alias ll=\"ls -l\"", std::pair{"ll", "\"ls -l\""}},
      {"set a=b=c", std::pair{"a", "b=c"}},
      {"set x= 5", std::pair{"x", " 5"}},
      {"set x = 5", std::pair{"", " 5"}},
      {"set x", std::nullopt},
      {"", std::nullopt},
      {"set x=", std::pair{"x", ""}},
      {"set x=   ", std::pair{"x", ""}},
      {"set =7", std::pair{"", "7"}},
      {"=7", std::pair{"", "7"}},
      {"x=1", std::pair{"x", "1"}},
      {"set x=a b  ", std::pair{"x", "a b"}},
      {"set  long_name=v", std::pair{"long_name", "v"}},
  };
  for (const auto& c : cases) {
    const std::optional<Assignment> got = Split_Assignment(c.line);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << "[" << c.line << "]";
    if (got) {
      EXPECT_EQ(got->Name, c.expected->first) << "[" << c.line << "]";
      EXPECT_EQ(got->Value, c.expected->second) << "[" << c.line << "]";
    }
  }
}

TEST(Text, RemoveQuotesAndStripDotSlash) {
  const struct {
    std::string text, expected;
  } quotes[] = {
      {"\"ls -l\"", "ls -l"}, {"\"\"", "\"\""},   {"\"", "\""},     {"", ""},
      {"a\"b\"c", "abc"},     {"plain", "plain"}, {"\"\" x", " x"},
  };
  for (const auto& c : quotes) EXPECT_EQ(Remove_Quotes(c.text), c.expected) << c.text;
  const struct {
    std::string name, expected;
  } names[] = {
      {"./a", "a"},     {"./", "./"}, {".", "."},       {"a/./b", "a/./b"},
      {"././x", "./x"}, {"", ""},     {"../a", "../a"}, {".//", "/"},
  };
  for (const auto& c : names) EXPECT_EQ(Strip_Dot_Slash(c.name), c.expected) << c.name;
}

}  // namespace
}  // namespace nk::shell
