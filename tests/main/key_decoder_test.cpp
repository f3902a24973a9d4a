#include "terminal/key_decoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nk::main::Terminal_Kind;
using K = nk::main::Request_Kind;

// The requests that `input` makes: a key as its character, any other request as "<Name>",
// Refresh only when `refresh`. A loop ended by Quit adds "|" and the characters never read.
std::u32string Decode(Terminal_Kind kind, const std::u32string& input, bool refresh = false) {
  // By the requests' numbers; "at" turns a number out of range into a failure.
  static const std::vector<std::u32string> names{U"Quit", U"",     U"Refresh", U"PgDn",  U"PgUp",
                                                 U"Up",   U"Down", U"Left",    U"Right", U"F12",
                                                 U"Del",  U"Home", U"End",     U"Ins",   U"Spare"};
  std::u32string sent;
  std::size_t next = 0;
  const nk::main::Loop_End end = nk::main::Run_Key_Loop(
      kind,
      [&]() -> std::optional<char32_t> {
        return next == input.size() ? std::nullopt : std::optional(input[next++]);
      },
      [&](const nk::main::Terminal_Request& request) {
        if (request.Kind == K::Key) {
          sent += request.Character;
        } else if (refresh || request.Kind != K::Refresh) {
          sent += U"<" + names.at(static_cast<std::size_t>(request.Kind)) + U">";
        }
      });
  return end == nk::main::Loop_End::QUIT ? sent + U"|" + input.substr(next) : sent;
}

// Input and what it sends. A final "z" shows that a sequence swallows no more than its own;
// rows without it are cut short by the end of input.
using Row = std::pair<std::u32string, std::u32string>;

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
      {U"\x1b[1;5Dz", U"5Dz"} /* the console sends no modifiers */, {U"\x1b[", U""},
      {U"\x1b[1", U""}, {U"\x1b[17", U""}, {U"\x1b[24", U"<F12>"}, {U"\x1b[3", U""},
      {U"\x1b[5", U"<PgUp>"}, {U"\u00c5", U""}, {U"ab\x1b\x1bgh", U"ab<Quit>|gh"},
  };
  // clang-format on
  for (const auto& [input, sent] : rows)
    EXPECT_EQ(Decode(Terminal_Kind::LINUX, input), sent) << testing::PrintToString(input);
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
      {U"\x1b[1;5;", U""}, {U"\x1b[15;", U""}, {U"ab\x1b\x1bgh", U"ab<Quit>|gh"},
      // A modified key (Shift 2 to Meta-Control-Alt-Shift 8) does what it does unmodified.
      {U"\x1b[1;2Az", U"<Up>z"}, {U"\x1b[1;3Bz", U"<Down>z"}, {U"\x1b[1;4Cz", U"<Right>z"},
      {U"\x1b[1;5Dz", U"<Left>z"}, {U"\x1b[1;6Hz", U"<Home>z"}, {U"\x1b[1;7Fz", U"<End>z"},
      {U"\x1b[1;8Pz", U"z"}, {U"\x1b[1;2Qz", U"z"}, {U"\x1b[1;3Rz", U"z"}, {U"\x1b[1;4Sz", U"z"},
      {U"\x1b[2;5~z", U"<Ins>z"}, {U"\x1b[3;6~z", U"<Del>z"}, {U"\x1b[5;7~z", U"<PgUp>z"},
      {U"\x1b[6;8~z", U"<PgDn>z"}, {U"\x1b[15;2~z", U"z"}, {U"\x1b[17;3~z", U"z"},
      {U"\x1b[18;4~z", U"z"}, {U"\x1b[19;5~z", U"z"}, {U"\x1b[20;6~z", U"<Ins>z"},
      {U"\x1b[21;7~z", U"<Ins>z"}, {U"\x1b[23;8~z", U"<Ins>z"}, {U"\x1b[24;2~z", U"<Ins>z"},
  };
  // clang-format on
  for (const auto& [input, sent] : rows)
    EXPECT_EQ(Decode(Terminal_Kind::XTERM, input), sent) << testing::PrintToString(input);
}

// Keys under NONE: tests/e2e/interactive_terminal_test.cpp.
TEST(KeyDecoder, RefreshOpensEveryPass) {
  EXPECT_EQ(Decode(Terminal_Kind::LINUX, U"a\x1b[A\x1b[5~b", true),
            U"<Refresh>a<Refresh><Up><Refresh><PgUp><Refresh>b<Refresh>");
}

}  // namespace
