// The builtins through their output, command-line text operations, tables and entry types.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "nk-shell.hpp"
#include "scratch.hpp"

namespace nk::shell {
namespace {

using Steps = std::vector<std::pair<std::string, std::string>>;

// Runs each line's builtin on one table, checking all it writes (PUT takes the name exactly).
Attribut_Table Run_Steps(const Steps& steps, std::size_t capacity = 2048) {
  Attribut_Table table(capacity);
  for (const auto& [line, output] : steps) {
    std::ostringstream out;
    const std::string name = line.substr(line.find(' ') + 1);
    const Builtin_Command command = Recognize_Builtin(line);
    if (command == Builtin_Command::SET || command == Builtin_Command::ALIAS)
      Define(line, table, out);
    if (command == Builtin_Command::UNSET || command == Builtin_Command::UNALIAS)
      Undefine(line, table);
    if (command == Builtin_Command::PUT) Put_Value(name, table, out);
    if (command == Builtin_Command::PUT_LINE) Put_Value_Line(name, table, out);
    EXPECT_EQ(out.str(), output) << "after [" << line << "]";
  }
  return table;
}

TEST(Builtins, RedefiningAddsUnsetRemovesTheFirstOnlyAndWrongShapesDoNothing) {
  Run_Steps({
      // clang-format off
      {"set x=5", ""}, {"set x=6", ""}, {"set y=1", ""}, {"put x", " 5 6"},
      {"put_line x", " 5 6\n"}, {"unset X", ""} /* letter case counts */, {"unset x", ""},
      {"set", "x= 6\ny= 1\n"}, {"unset x", ""}, {"unset x", ""}, {"set x", ""}, {"set x = 5", ""},
      {"set x =5", ""}, {"set x=a b", ""}, {"unset y z", ""}, {"unset", ""}, {"set", "y= 1\n"},
      {"unset y", ""}, {"set", ""},
      // The table is empty again: every kind of image, listed and put.
      {"alias ll=ls", ""}, {"alias ls=\"ls -l\"", ""}, {"set  b=true", ""}, {"set f=1.5", ""},
      {"set e=", ""}, {"set =7", ""}, {"set n=-2", ""}, {"set q=a\\ b", ""},
      {"alias", "ll=ls\nls=\"ls -l\"\nb=TRUE\nf= 1.50000E+00\ne=\n= 7\nn=-2\nq=a\\ b\n"},
      {"set put_line=1", ""}, {"set s=\"a b\"", ""}, {"set s=TRUE", ""},
      {"put nothing_defined", ""}, {"put_line nothing_defined", "\n"},
      {"put_line put_line", " 1\n"}, {"put_line s", "\"a b\"TRUE\n"},
      {"put_line s ", "\n"} /* the name is taken exactly */, {"put_line ", " 7\n"},
      // clang-format on
  });
}

TEST(Builtins, FullTableDropsTheNewEntryAndUnsetRemovesTheFirstExactMatch) {
  const Steps steps = {
      // clang-format off
      {"set a=1", ""}, {"set x=1", ""}, {"set b=1", ""}, {"set x=2", ""}, {"set X=3", ""},
      {"set extra=1", ""}, {"unset x", ""}, {"set w=4", ""} /* the space unset freed */,
      {"set", "a= 1\nb= 1\nx= 2\nX= 3\nw= 4\n"},
      // clang-format on
  };
  Attribut_Table table = Run_Steps(steps, 5);
  EXPECT_FALSE(table.Remove_First("x "));
  for (const char* n : {"a", "b", "x", "X", "w"}) EXPECT_TRUE(table.Remove_First(n)) << n;
  EXPECT_FALSE(Attribut_Table(0).Add(Create("a", "1")));
}

TEST(Builtins, FullHistorySetDropsItsOldestLine) {
  const auto line = [](auto n) { return text::Decode_Utf8("l\xc3\xadne " + std::to_string(n)); };
  for (const std::size_t capacity : {std::size_t{1}, std::size_t{2048}}) {
    Wide_String_Set set(capacity);
    for (std::size_t n = 1; n <= capacity + 1; ++n)
      ASSERT_EQ(set.Append(line(n)), std::min(n, capacity));
    for (std::size_t i = 1; i <= capacity; ++i) ASSERT_EQ(set.Item(i), line(i + 1)) << i;
    EXPECT_THROW(set.Item(0), std::out_of_range);
  }
  EXPECT_THROW(Wide_String_Set(0), std::invalid_argument);
  EXPECT_THROW(Wide_String_Set(132073), std::invalid_argument);
  EXPECT_NO_THROW(Wide_String_Set(132072));
}

using Builtins_Cd = Scratch_Test;

TEST_F(Builtins_Cd, ChangesOnlyWhenItCanAndReturnsTheNewOldPwd) {
  std::ostringstream out;
  const auto cd = [&out](const std::string& line, const std::string& old_pwd) {
    out.str("");
    try {
      return std::optional(Change_Directory(line, old_pwd, out));
    } catch (const Directory_Error&) {
      return std::optional<std::string>();
    }
  };
  const std::string r = root_;
  for (const char* dir : {"a/sub", "b", "my dir", "home", "locked"})
    fs::create_directories(r + "/" + dir);
  File("file");
  ::setenv("HOME", (r + "/home").c_str(), 1);
  ASSERT_EQ(::chmod((r + "/locked").c_str(), 0), 0);
  // Line, Old_Pwd, the new Old_Pwd or nothing for Directory_Error, working directory after.
  const std::tuple<std::string, std::string, std::optional<std::string>, std::string> steps[] = {
      {"cd " + r + "/b", "", r, r + "/b"},
      {"cd ../file", r, std::nullopt, r + "/b"},
      {"cd ~", r, std::nullopt, r + "/b"},  // no "~" expansion
      {std::string("cd a\0zzz", 8), r, std::nullopt, r + "/b"},
      {::geteuid() == 0 ? "cd /nowhere" : "cd ../locked", r, std::nullopt, r + "/b"},
      {"cd -", r, r + "/b", r},  // the failures left Old_Pwd alone
      {"cd -", r + "/b", r, r + "/b"},
      {"cd a b", "kept", "kept", r + "/b"},  // three words: nothing happens
      {"cd ../my\\ dir", "kept", r + "/b", r + "/my dir"},
      {"CD ../a/sub", "kept", r + "/my dir", r + "/a/sub"},  // relative, taken literally
      {"cd   ", "kept", r + "/a/sub", r + "/home"},          // alone, it goes home
  };
  for (const auto& [line, old_pwd, result, cwd] : steps) {
    EXPECT_EQ(cd(line, old_pwd), result) << line;
    EXPECT_EQ(fs::current_path().string(), cwd) << line;
    EXPECT_EQ(out.str(), "") << line;
  }
  ::unsetenv("HOME");  // an unset HOME is an empty name, which no directory has
  EXPECT_EQ(cd("cd", "kept"), std::nullopt);
  EXPECT_EQ(fs::current_path().string(), r + "/home");
  // From a deleted working directory, the new Old_Pwd is empty.
  fs::create_directory(r + "/gone");
  ASSERT_EQ(::chdir((r + "/gone").c_str()), 0);
  ASSERT_EQ(::rmdir((r + "/gone").c_str()), 0);
  EXPECT_EQ(cd("cd " + r + "/a", "kept"), "");
  EXPECT_EQ(fs::current_path().string(), r + "/a");
}

TEST(Values, TypeRuleAndImages) {
  using enum Value_Type;
  const std::string ones(5000, '1');
  const std::tuple<std::string, Value_Type, std::string> cases[] = {
      // text, kind, image
      // clang-format off
      // Booleans in any case, blanks around but no tabs.
      {"true", BOO, "TRUE"}, {"  TRUE  ", BOO, "TRUE"}, {"fAlSe ", BOO, "FALSE"},
      {"TRUEX", STR, "TRUEX"}, {"\tTRUE", STR, "\tTRUE"},
      // Decimal integers and the 32-bit boundaries.
      {" 42 ", INT, " 42"}, {"+5", INT, " 5"}, {"-5", INT, "-5"}, {"-0", INT, " 0"},
      {"1_000", INT, " 1000"}, {"0000000000000000000000000000012", INT, " 12"},
      {"2147483647", INT, " 2147483647"}, {"2147483648", FLT, " 2.14748E+09"},
      {"-2147483648", INT, "-2147483648"}, {"-2147483649", FLT, "-2.14748E+09"},
      {"99999999999", FLT, " 1.00000E+11"},
      // Based integers.
      {"16#ff#", INT, " 255"}, {"2#1111_0000#", INT, " 240"}, {"8#777#", INT, " 511"},
      {"-16#10#", INT, "-16"}, {"016#1#", INT, " 1"}, {"2#1#E3", INT, " 8"},
      {"16#F#e1", INT, " 240"}, {"-16#80000000#", INT, "-2147483648"},
      {"16#7FFFFFFF#", INT, " 2147483647"}, {"16#80000000#", FLT, " 2.14748E+09"},
      {"16#FFFFFFFF#", FLT, " 4.29497E+09"}, {"2#1#E127", FLT, " 1.70141E+38"},
      {"2#1#E128", FLT, " +Inf"}, {"16#FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF#", FLT, " +Inf"},
      {"-16#FFFFFF0000000000000000000000000#", FLT, "-2.12676E+37"},
      // Integer exponents.
      {"1e+3", INT, " 1000"}, {"-2E1_0", FLT, "-2.00000E+10"}, {"2E9", INT, " 2000000000"},
      {"3E9", FLT, " 3.00000E+09"}, {"0E99999999999999999999", INT, " 0"}, {"1E40", FLT, " +Inf"},
      {"-1E40", FLT, "-Inf"}, {"1E99999999999999999999999", FLT, " +Inf"},
      // Reals, rounded once to single precision.
      {"1.5", FLT, " 1.50000E+00"}, {"-1.5E3", FLT, "-1.50000E+03"},
      {"2.0e-2", FLT, " 2.00000E-02"}, {"-0.0025", FLT, "-2.50000E-03"},
      {"1_0.2_5", FLT, " 1.02500E+01"}, {"0.0", FLT, " 0.00000E+00"},
      {"3.4028235E38", FLT, " 3.40282E+38"}, {"3.5E38", FLT, " +Inf"},
      {"1.0E-50", FLT, " 0.00000E+00"}, {"-1.0e-50", FLT, "-0.00000E+00"},
      {"16777217.0", FLT, " 1.67772E+07"},
      // Very long literals.
      {ones, FLT, " +Inf"}, {"-" + ones, FLT, "-Inf"},
      {"0." + std::string(5000, '0') + "1", FLT, " 0.00000E+00"},
      {"1" + std::string(38, '0') + ".0", FLT, " 1.00000E+38"},
      {"0." + std::string(30, '0') + "15", FLT, " 1.50000E-31"},
      // Texts are kept character for character.
      {"", STR, ""}, {"\"ls -l\"", STR, "\"ls -l\""}, {"  a b  ", STR, "  a b  "},
      // clang-format on
  };
  for (const auto& [text, kind, image] : cases) {
    const Attribut_Record entry = Create("v", text);
    EXPECT_EQ(static_cast<int>(entry.Value_Kind), static_cast<int>(kind)) << "[" << text << "]";
    EXPECT_EQ(Image(entry), image) << "[" << text << "]";
    EXPECT_EQ(entry.String_Value.has_value(), kind == STR) << "[" << text << "]";
  }
  // Malformed numbers stay text: no other kind's image could equal them.
  for (const char* text :
       {"1__0",   "_1",     "1_",     "0x10",  "- 5",   "--5",      "5 5",    "+",
        "-",      "1.",     ".5",     "1.5E",  "1.5E+", "1E",       "1E_3",   "1E-3",
        "1E-50",  "1..5",   "1,5",    "\t5",   "5\t",   "1.5.2",    "1E3E3",  "E3",
        "1_.5",   "1._5",   "2#102#", "17#1#", "1#0#",  "0#0#",     "16#FF",  "16##",
        "16#_F#", "16#F_#", "#FF#",   "16#G#", "10#A#", "16#F#E-1", "16#F#1", "2#1#E"})
    EXPECT_EQ(Image(Create("v", text)), text) << text;
  // Rounded once from the exact decimal, not twice through double: six digits cannot show it.
  EXPECT_EQ(Create("f", "0.1").Float_Value, 0.1F);
  EXPECT_EQ(Create("f", "16777217.0").Float_Value, 16777216.0F);
  EXPECT_EQ(Create("f", "1.00000005960464477539062500001").Float_Value, std::nextafter(1.0F, 2.0F));
  EXPECT_EQ(Create("f", "1.0E-40").Float_Value, 1.0E-40F);  // subnormal, not flushed
}

TEST(Text, RecognizeBuiltinCommandNameAndSplitWords) {
  using enum Builtin_Command;
  const std::pair<std::string, Builtin_Command> cases[] = {
      // clang-format off
      {"cd /tmp", CD}, {"Cd", CD}, {"  cd /tmp", NONE}, {"put_line x", PUT_LINE},
      {"PUT_LINE", PUT_LINE}, {"put x", PUT}, {"unset", UNSET}, {"set a=1", SET}, {"alias", ALIAS},
      {"UnAlias ll", UNALIAS}, {"", NONE}, {"cd/tmp", NONE}, {"cd\t/tmp", NONE}, {"cdx", NONE},
      {"setx=1", NONE}, {"put_", NONE}, {"ls -l", NONE},
      // clang-format on
  };
  for (const auto& [line, command] : cases)
    EXPECT_EQ(Recognize_Builtin(line), command) << "[" << line << "]";
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

TEST(Text, FirstMatchingAliasThenCommandTextReplaceOnlyTheFirstWord) {
  Attribut_Table aliases(8);
  aliases.Add(Create("ll", "\"ls -l\""));
  aliases.Add(Create("ll", "dir"));
  aliases.Add(Create("q", "say\"\"it"));
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      // clang-format off
      {"ll", "ls -l"}, {"ll /tmp", "ls -l /tmp"}, {"ll   ", "ls -l   "},
      {"ll  x  ", "ls -l  x  "}, {"q", "sayit"}, {"LL", std::nullopt}, {"lls", std::nullopt},
      {" ll", std::nullopt}, {"ll\tx", std::nullopt} /* a tab is no blank */, {"   ", std::nullopt},
      {"ll \"a b\"", "ls -l a b"}, {"x \"y\"", std::nullopt},
      // clang-format on
  };
  for (const auto& [line, result] : cases)
    EXPECT_EQ(Substitute_Alias(line, aliases), result) << line;
  // Path found, program name, line, command text.
  const std::tuple<std::string, std::string, std::string, std::string> texts[] = {
      // clang-format off
      {"/bin/ls", "ls", "ls", "/bin/ls"}, {"/bin/ls", "ls", "ls -l /tmp", "/bin/ls -l /tmp"},
      {"/bin/ls", "ls", "ls  -l", "/bin/ls  -l"}, {"/bin/ls", "ls", "ls ", "/bin/ls "},
      {"/my bin/ls", "ls", "ls x", "'/my bin/ls' x"},
      {"./it's", "it's", "it's a", "'./it'\\''s' a"},
      {"/bin/echo", "echo", "echo $HOME | wc", "/bin/echo $HOME | wc"},
      // clang-format on
  };
  for (const auto& [path, name, line, text] : texts)
    EXPECT_EQ(Command_Text(path, name, line), text) << line;
}

}  // namespace
}  // namespace nk::shell
