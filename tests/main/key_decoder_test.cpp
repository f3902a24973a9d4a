#include "terminal/key_decoder.hpp"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace {

using nk::main::Loop_End;
using nk::main::Terminal_Kind;
using K = nk::main::Request_Kind;

// Requests shown as text: a key as its character, any other request as "<Name>".
std::u32string Show(const nk::main::Terminal_Request& request) {
  // By the requests' numbers; "at" turns a number out of range into a failure.
  static const std::vector<std::u32string> names{U"Quit", U"",     U"Refresh", U"PgDn",  U"PgUp",
                                                 U"Up",   U"Down", U"Left",    U"Right", U"F12",
                                                 U"Del",  U"Home", U"End",     U"Ins",   U"Spare"};
  return request.Kind == K::Key ? std::u32string(1, request.Character)
                                : U"<" + names.at(static_cast<std::size_t>(request.Kind)) + U">";
}

// What one run of the loop did with `input`.
struct Outcome {
  std::u32string All;   // every request
  std::u32string Sent;  // Refresh left out
  Loop_End End = Loop_End::END_OF_INPUT;
  std::size_t Unread = 0;  // characters never read
};

Outcome Decode(Terminal_Kind kind, const std::u32string& input) {
  Outcome outcome;
  std::size_t next = 0;
  outcome.End = nk::main::Run_Key_Loop(
      kind,
      [&]() -> std::optional<char32_t> {
        return next == input.size() ? std::nullopt : std::optional(input[next++]);
      },
      [&](const nk::main::Terminal_Request& request) {
        outcome.All += Show(request);
        outcome.Sent += request.Kind == K::Refresh ? U"" : Show(request);
      });
  outcome.Unread = input.size() - next;
  return outcome;
}

// Input and what it sends. A final "z" shows that a sequence swallows no more than its own;
// rows without it are cut short by the end of input.
using Row = std::pair<std::u32string, std::u32string>;

void Check_Table(Terminal_Kind kind, std::span<const Row> rows) {
  for (const auto& [input, sent] : rows) {
    const Outcome outcome = Decode(kind, input);
    EXPECT_EQ(outcome.Sent, sent) << testing::PrintToString(input);
    EXPECT_EQ(outcome.End, Loop_End::END_OF_INPUT) << testing::PrintToString(input);
  }
}

TEST(KeyDecoder, LinuxTable) {
  // clang-format off
  const Row rows[] = {
      {U"az", U"az"}, {U"\t\r\x7f\x0cz", U"\t\r\x7f\x0cz"},
      {U"\u00e9\U0001F600z", U"\u00e9\U0001F600z"}, {U"\u00c5xz", U"z"}, {U"\x1bxz", U"xz"},
      {U"\x1bOz", U"Oz"}, {U"\x1b[1~z", U"<Home>z"}, {U"\x1b[17~z", U"z"}, {U"\x1b[18~z", U"z"},
      {U"\x1b[19~z", U"z"}, {U"\x1b[1xz", U"z"}, {U"\x1b[2~z", U"<Ins>z"},
      {U"\x1b[24~z", U"<F12>z"}, {U"\x1b[20~z", U"z"}, {U"\x1b[21~z", U"z"}, {U"\x1b[23~z", U"z"},
      {U"\x1b[2xz", U"z"}, {U"\x1b[3~z", U"<Del>z"}, {U"\x1b[4~z", U"<End>z"},
      {U"\x1b[5~z", U"<PgUp>z"}, {U"\x1b[6~z", U"<PgDn>z"}, {U"\x1b[Az", U"<Up>z"},
      {U"\x1b[Bz", U"<Down>z"}, {U"\x1b[Cz", U"<Right>z"}, {U"\x1b[Dz", U"<Left>z"},
      {U"\x1b[[Az", U"z"}, {U"\x1b[Hz", U"Hz"}, {U"\x1b[Fz", U"Fz"}, {U"\x1b", U""},
      {U"\x1b[1;5Dz", U"5Dz"} /* the console sends no modifiers */,
      {U"\x1b[", U""}, {U"\x1b[1", U""}, {U"\x1b[17", U""}, {U"\x1b[24", U"<F12>"},
      {U"\x1b[3", U""}, {U"\x1b[5", U"<PgUp>"}, {U"\u00c5", U""},
  };
  // clang-format on
  Check_Table(Terminal_Kind::LINUX, rows);
}

TEST(KeyDecoder, XtermTable) {
  // clang-format off
  const Row rows[] = {
      {U"az", U"az"}, {U"\t\r\x7f\x0cz", U"\t\r\x7f\x0cz"}, {U"\u00c5z", U"\u00c5z"},
      {U"\U0001F600z", U"\U0001F600z"}, {U"\x1bxz", U"z"}, {U"\x1bOPz", U"z"},
      {U"\x1b\u00c5xz", U"z"}, {U"\x1b[15~z", U"z"}, {U"\x1b[17~z", U"z"}, {U"\x1b[18~z", U"z"},
      {U"\x1b[19~z", U"z"}, {U"\x1b[1~z", U"z"}, {U"\x1b[2~z", U"<Ins>z"},
      {U"\x1b[20~z", U"<Ins>z"}, {U"\x1b[21~z", U"<Ins>z"}, {U"\x1b[23~z", U"<Ins>z"},
      {U"\x1b[24~z", U"<Ins>z"}, {U"\x1b[22~z", U"<Ins><Ins>z"}, {U"\x1b[2xz", U"<Ins>z"},
      {U"\x1b[3~z", U"<Del>z"}, {U"\x1b[5~z", U"<PgUp>z"}, {U"\x1b[6~z", U"<PgDn>z"},
      {U"\x1b[Az", U"<Up>z"}, {U"\x1b[Bz", U"<Down>z"}, {U"\x1b[Cz", U"<Right>z"},
      {U"\x1b[Dz", U"<Left>z"}, {U"\x1b[Fz", U"<End>z"}, {U"\x1b[Hz", U"<Home>z"},
      {U"\x1b[4~z", U"z"}, {U"\x1b[7~z", U"z"}, {U"\x1b[@~z", U"z"}, {U"\x1b[Exz", U"z"},
      {U"\x1b[Gxz", U"z"}, {U"\x1b[Zxz", U"z"}, {U"\x1b", U""}, {U"\x1bO", U""},
      {U"\x1b[2", U"<Ins>"}, {U"\x1b[22", U"<Ins><Ins>"}, {U"\x1b[6", U"<PgDn>"}, {U"\x1b[3", U""},
      {U"\x1b[Z", U""}, {U"\x1bO;5z", U"5z"}, {U"\x1b;5z", U"5z"}, {U"\x1b[1;5", U""},
      {U"\x1b[1;5;", U""}, {U"\x1b[15;", U""},
  };
  // clang-format on
  Check_Table(Terminal_Kind::XTERM, rows);
}

// Each key xterm sends with a modifier (Shift 2 to Meta-Control-Alt-Shift 8) does what the
// key does unmodified, and the next key arrives as itself.
TEST(KeyDecoder, XtermModifiedKeysActAsUnmodified) {
  const std::pair<std::u32string, std::u32string> keys[] = {
      {U"1;mA", U"<Up>"},   {U"1;mB", U"<Down>"}, {U"1;mC", U"<Right>"}, {U"1;mD", U"<Left>"},
      {U"1;mH", U"<Home>"}, {U"1;mF", U"<End>"},  {U"1;mP", U""},        {U"1;mQ", U""},
      {U"1;mR", U""},       {U"1;mS", U""},       {U"2;m~", U"<Ins>"},   {U"3;m~", U"<Del>"},
      {U"5;m~", U"<PgUp>"}, {U"6;m~", U"<PgDn>"}, {U"15;m~", U""},       {U"17;m~", U""},
      {U"18;m~", U""},      {U"19;m~", U""},      {U"20;m~", U"<Ins>"},  {U"21;m~", U"<Ins>"},
      {U"23;m~", U"<Ins>"}, {U"24;m~", U"<Ins>"},
  };
  for (const auto& [key, sent] : keys) {
    for (char32_t modifier = U'2'; modifier <= U'8'; ++modifier) {
      std::u32string input = U"\x1b[" + key + U"z";
      input[input.find(U'm')] = modifier;
      EXPECT_EQ(Decode(Terminal_Kind::XTERM, input).Sent, sent + U"z")
          << testing::PrintToString(input);
    }
  }
}

TEST(KeyDecoder, EscapeTwiceQuitsAndReadsNoFurther) {
  for (const auto kind : {Terminal_Kind::LINUX, Terminal_Kind::XTERM}) {
    const Outcome outcome = Decode(kind, U"ab\x1b\x1bgh");
    EXPECT_EQ(outcome.End, Loop_End::QUIT);
    EXPECT_EQ(outcome.Sent, U"ab<Quit>");
    EXPECT_EQ(outcome.Unread, 2U);
  }
}

// Keys under NONE: tests/e2e/interactive_terminal_test.cpp.
TEST(KeyDecoder, RefreshOpensEveryPass) {
  EXPECT_EQ(Decode(Terminal_Kind::LINUX, U"a\x1b[A\x1b[5~b").All,
            U"<Refresh>a<Refresh><Up><Refresh><PgUp><Refresh>b<Refresh>");
}

}  // namespace
