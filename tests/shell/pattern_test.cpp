// Wildcard patterns: syntax, ill-formed patterns, linear-time matching, and agreement
// with the C library's fnmatch on the syntax the two share.
#include "shell/pattern.hpp"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "shell/nk-shell.hpp"

namespace nk::shell {
namespace {

struct Match_Case {
  const char* pattern;
  std::string text;
  bool matches;
};

TEST(PatternSyntax, MatchesWholeTextsAsDocumented) {
  const Match_Case cases[] = {
      // Plain characters, whole text, case-sensitive.
      {"abc", "abc", true},
      {"abc", "abcd", false},
      {"abc", "xabc", false},
      {"abc", "ab", false},
      {"", "", true},
      {"", "a", false},
      {"Foo", "foo", false},
      {"foo", "Foo", false},
      // Star: any run, the empty run and "/" included.
      {"*", "", true},
      {"*", "a/b/c", true},
      {"a*c", "ac", true},
      {"a*c", "a/x/c", true},
      {"a*c", "acb", false},
      {"*.c", "./src/main.c", true},
      {"*.c", "./src/main.h", false},
      {"*ma*", "/home/u/main.c", true},
      // Question mark: exactly one character, "/" included.
      {"?", "a", true},
      {"?", "", false},
      {"?", "ab", false},
      {"a?c", "a/c", true},
      {"??", "\xff\x01", true},
      // Sets, ranges, negation, literal "]" and "-".
      {"[abc]", "b", true},
      {"[abc]", "d", false},
      {"[abc]", "ab", false},
      {"[a-c]", "b", true},
      {"[a-c]", "c", true},
      {"[a-c]", "d", false},
      {"[a-cx-z]", "y", true},
      {"[a-cx-z]", "m", false},
      {"[!a]", "a", false},
      {"[!a]", "b", true},
      {"[!a]", "/", true},
      {"[^a-c]", "b", false},
      {"[^a-c]", "d", true},
      {"[]]", "]", true},
      {"[]a]", "a", true},
      {"[!]]", "]", false},
      {"[!]]", "x", true},
      {"[a-]", "-", true},
      {"[-a]", "-", true},
      {"[-a]", "b", false},
      {"[*?]", "*", true},
      {"[*?]", "x", false},
      {"[[]", "[", true},
      {"[{]x", "{x", true},
      {"[\xe0-\xef]", "\xe9", true},
      {"[\xe0-\xef]", "\xf0", false},
      // Braces: alternatives, empty ones, nesting, sets inside.
      {"{a,b}", "a", true},
      {"{a,b}", "b", true},
      {"{a,b}", "c", false},
      {"{a,b}", "ab", false},
      {"x{,y}z", "xz", true},
      {"x{,y}z", "xyz", true},
      {"x{,y}z", "xyyz", false},
      {"{}", "", true},
      {"{}a", "a", true},
      {"{a,{b,c}d}", "cd", true},
      {"{a,{b,c}d}", "a", true},
      {"{a,{b,c}d}", "c", false},
      {"{a,b}{c,d}", "bd", true},
      {"{a,b}{c,d}", "bb", false},
      {"{*.c,*.h}", "x.h", true},
      {"{[,}]x,y}", ",x", true},
      {"{[,}]x,y}", "}x", true},
      {"{[,}]x,y}", "y", true},
      {"{[,}]x,y}", "x", false},
      // Characters that are special only inside their construct stand for themselves.
      {"]", "]", true},
      {"a}", "a}", true},
      {"a,b", "a,b", true},
      {"a-b", "a-b", true},
      {"{a}}", "a}", true},
  };
  for (const Match_Case& c : cases) {
    EXPECT_EQ(Pattern(c.pattern).Matches(c.text), c.matches)
        << "pattern \"" << c.pattern << "\" against \"" << c.text << "\"";
  }
}

TEST(PatternSyntax, LiteralOnlyWithoutWildcardConstructs) {
  const std::pair<const char*, bool> cases[] = {
      {"abc", true}, {"a}b", true}, {"a,b]", true}, {"..", true},
      {"a*", false}, {"a?", false}, {"[a]", false}, {"{a}", false},
  };
  for (const auto& [text, literal] : cases) {
    EXPECT_EQ(Pattern(text).Is_Literal(), literal) << text;
  }
}

TEST(PatternErrors, IllFormedPatternsAreRejectedWhenCompiled) {
  const std::string deep_braces = std::string(65, '{') + std::string(65, '}');
  const std::string too_long(4097, 'a');
  const struct {
    std::string pattern;
    const char* fault;
  } cases[] = {
      {"[", "without \"]\""},    {"[abc", "without \"]\""},   {"a[", "without \"]\""},
      {"[]", "without \"]\""},   {"[!]", "without \"]\""},    {"x[a-", "without \"]\""},
      {"{", "without \"}\""},    {"{a,b", "without \"}\""},   {"a{b{c}", "without \"}\""},
      {"{[}", "without \"]\""},  {"[z-a]", "reversed range"}, {deep_braces, "nested too deeply"},
      {too_long, "longer than"},
  };
  for (const auto& c : cases) {
    try {
      Pattern compiled(c.pattern);
      ADD_FAILURE() << "accepted \"" << c.pattern << "\"";
    } catch (const Completion_Error& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(c.fault), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
      if (c.pattern.size() < 100) {
        EXPECT_NE(message.find('"' + c.pattern + '"'), std::string::npos) << message;
      }
    }
  }
}

TEST(PatternErrors, LimitsStillAcceptTheLargestWellFormedPatterns) {
  const std::string deepest = std::string(64, '{') + "a" + std::string(64, '}');
  EXPECT_TRUE(Pattern(deepest).Matches("a"));
  const std::string longest = "x" + std::string(4094, 'a') + "*";
  EXPECT_TRUE(Pattern(longest).Matches("x" + std::string(4094, 'a') + "yz"));
  EXPECT_FALSE(Pattern(longest).Matches("x" + std::string(4093, 'a')));
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

TEST(PatternIncremental, SplittingTheTextDoesNotChangeTheAnswer) {
  const std::string big = "*" + std::string(70, 'x') + "{1,2}*";
  const struct {
    std::string pattern;
    std::string text;
  } cases[] = {
      {"*ma*", "/home/user/main.c"},
      {"*ma*", "/home/user/other.c"},
      {"*/{src,lib}/*.c", "./src/x.c"},
      {big, "a/" + std::string(70, 'x') + "2.c"},
      {big, "a/" + std::string(69, 'x') + "2.c"},
  };
  for (const auto& c : cases) {
    const Pattern pattern(c.pattern);
    const bool whole = pattern.Matches(c.text);
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
      Pattern::State state = pattern.Start();
      Pattern::State scratch;
      pattern.Advance(state, std::string_view(c.text).substr(0, cut), scratch);
      pattern.Advance(state, std::string_view(c.text).substr(cut), scratch);
      ASSERT_EQ(pattern.Accepts(state), whole) << c.pattern << " / " << c.text << " cut " << cut;
    }
  }
}

// "*a" and twelve "?" has 2^13 deterministic states, more than the matcher caches, so
// long texts run it past its cache; the answer must not change there.
TEST(PatternLinearTime, ManyStatesGiveTheSameAnswers) {
  const Pattern pattern("*a" + std::string(12, '?'));
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 300);
    for (int i = 0; i < length; ++i) text += (random() % 2 == 0) ? 'a' : 'b';
    const bool expected = text.size() >= 13 && text[text.size() - 13] == 'a';
    ASSERT_EQ(pattern.Matches(text), expected) << text;
  }
}

// fnmatch without flags reads "*", "?" and sets as these patterns do (no braces).
TEST(PatternAgreement, AgreesWithFnmatchOnRandomPatterns) {
  std::mt19937 random(12345);
  const char* pieces[] = {"a", "b", "/", "*", "?", "[ab]", "[!a]", "[a-b]", "]"};
  const char letters[] = {'a', 'b', '/'};
  for (int round = 0; round < 4000; ++round) {
    std::string pattern;
    const int length = static_cast<int>(random() % (round % 2 == 0 ? 8 : 70));
    for (int i = 0; i < length; ++i) pattern += pieces[random() % std::size(pieces)];
    std::string text;
    const int text_length = static_cast<int>(random() % 12);
    for (int i = 0; i < text_length; ++i) text += letters[random() % std::size(letters)];
    const bool expected = fnmatch(pattern.c_str(), text.c_str(), FNM_NOESCAPE) == 0;
    ASSERT_EQ(Pattern(pattern).Matches(text), expected) << pattern << " / " << text;
  }
}

}  // namespace
}  // namespace nk::shell
