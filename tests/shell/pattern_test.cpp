// Wildcard patterns: syntax, ill-formed patterns and linear-time matching.
#include "pattern.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "nk-shell.hpp"

namespace nk::shell {
namespace {

TEST(PatternSyntax, MatchesWholeTextsAsDocumented) {
  const struct {
    const char* pattern;
    std::string text;
    bool matches;
  } cases[] = {
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
  for (const auto& c : cases) {
    EXPECT_EQ(Pattern(c.pattern).Matches(c.text), c.matches)
        << "pattern \"" << c.pattern << "\" against \"" << c.text << "\"";
  }
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

// "*a" and twelve "?" has 2^13 deterministic states, more than the matcher caches; read a
// character at a time, a long text runs it past its cache, and every answer must hold.
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
