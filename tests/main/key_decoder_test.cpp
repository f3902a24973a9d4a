#include "main/key_decoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nk::main::Loop_End;
using nk::main::Request_Kind;
using nk::main::Run_Key_Loop;
using nk::main::Terminal_Kind;
using nk::main::Terminal_Request;
using K = Request_Kind;

// What one run of the loop did with `input`.
struct Outcome {
  std::vector<Terminal_Request> Requests;  // Refresh included
  Loop_End End = Loop_End::END_OF_INPUT;
  std::size_t Unread = 0;  // characters never read
};

Outcome Decode(Terminal_Kind kind, const std::u32string& input) {
  Outcome outcome;
  std::size_t next = 0;
  outcome.End = Run_Key_Loop(
      kind,
      [&]() -> std::optional<char32_t> {
        if (next == input.size()) {
          return std::nullopt;
        }
        return input[next++];
      },
      [&](const Terminal_Request& request) { outcome.Requests.push_back(request); });
  outcome.Unread = input.size() - next;
  return outcome;
}

// The requests other than Refresh.
std::vector<Terminal_Request> Sent(const Outcome& outcome) {
  std::vector<Terminal_Request> sent;
  for (const auto& request : outcome.Requests) {
    if (request.Kind != K::Refresh) {
      sent.push_back(request);
    }
  }
  return sent;
}

}  // namespace

namespace nk::main {
// Readable failures: "Key U+61", "Request 5".
void PrintTo(const Terminal_Request& request, std::ostream* out) {
  if (request.Kind == Request_Kind::Key) {
    *out << "Key U+" << std::hex << static_cast<unsigned long>(request.Character);
  } else {
    *out << "Request " << static_cast<int>(request.Kind);
  }
}
}  // namespace nk::main

namespace {

Terminal_Request R(Request_Kind kind) {
  return {kind, 0};
}
Terminal_Request Key(char32_t c) {
  return {K::Key, c};
}

// "ESC [ 1 ~" for the diagnostics.
std::string Show(const std::u32string& text) {
  std::string shown;
  for (const char32_t c : text) {
    if (c == U'\x1b') {
      shown += "ESC ";
    } else if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
      shown += ' ';
    } else {
      shown += "U+" + std::to_string(static_cast<unsigned long>(c)) + ' ';
    }
  }
  return shown;
}

struct Row {
  std::u32string Input;  // followed by "z" so that swallowing too much shows
  std::vector<Terminal_Request> Expected;
};

void Check_Table(Terminal_Kind kind, const std::vector<Row>& rows) {
  for (const auto& row : rows) {
    const Outcome outcome = Decode(kind, row.Input + U"z");
    auto expected = row.Expected;
    expected.push_back(Key(U'z'));
    EXPECT_EQ(Sent(outcome), expected) << Show(row.Input);
    EXPECT_EQ(outcome.End, Loop_End::END_OF_INPUT);
  }
}

TEST(KeyDecoder, LinuxTable) {
  Check_Table(Terminal_Kind::LINUX,
              {
                  {U"a", {Key(U'a')}},
                  {U"\t\r\x7f\x0c", {Key(U'\t'), Key(U'\r'), Key(U'\x7f'), Key(U'\x0c')}},
                  {U"\u00e9\U0001F600", {Key(U'\u00e9'), Key(U'\U0001F600')}},
                  {U"\u00c5x", {}},
                  {U"\x1bx", {Key(U'x')}},
                  {U"\x1bO", {Key(U'O')}},
                  {U"\x1b[1~", {R(K::Home_Key)}},
                  {U"\x1b[17~", {}},
                  {U"\x1b[18~", {}},
                  {U"\x1b[19~", {}},
                  {U"\x1b[1x", {}},
                  {U"\x1b[2~", {R(K::Insert_Key)}},
                  {U"\x1b[24~", {R(K::F12_Key)}},
                  {U"\x1b[20~", {}},
                  {U"\x1b[21~", {}},
                  {U"\x1b[23~", {}},
                  {U"\x1b[2x", {}},
                  {U"\x1b[3~", {R(K::Delete_Key)}},
                  {U"\x1b[4~", {R(K::End_Key)}},
                  {U"\x1b[5~", {R(K::Page_Up)}},
                  {U"\x1b[6~", {R(K::Page_Down)}},
                  {U"\x1b[A", {R(K::History_Back)}},
                  {U"\x1b[B", {R(K::History_Forward)}},
                  {U"\x1b[C", {R(K::Cursor_Right)}},
                  {U"\x1b[D", {R(K::Cursor_Left)}},
                  {U"\x1b[[A", {}},
                  {U"\x1b[H", {Key(U'H')}},
                  {U"\x1b[F", {Key(U'F')}},
              });
}

TEST(KeyDecoder, XtermTable) {
  Check_Table(Terminal_Kind::XTERM,
              {
                  {U"a", {Key(U'a')}},
                  {U"\t\r\x7f\x0c", {Key(U'\t'), Key(U'\r'), Key(U'\x7f'), Key(U'\x0c')}},
                  {U"\u00c5", {Key(U'\u00c5')}},
                  {U"\U0001F600", {Key(U'\U0001F600')}},
                  {U"\x1bx", {}},
                  {U"\x1bOP", {}},
                  {U"\x1b\u00c5x", {}},
                  {U"\x1b[15~", {}},
                  {U"\x1b[17~", {}},
                  {U"\x1b[18~", {}},
                  {U"\x1b[19~", {}},
                  {U"\x1b[1~", {}},
                  {U"\x1b[2~", {R(K::Insert_Key)}},
                  {U"\x1b[20~", {R(K::Insert_Key)}},
                  {U"\x1b[21~", {R(K::Insert_Key)}},
                  {U"\x1b[23~", {R(K::Insert_Key)}},
                  {U"\x1b[24~", {R(K::Insert_Key)}},
                  {U"\x1b[22~", {R(K::Insert_Key), R(K::Insert_Key)}},
                  {U"\x1b[2x", {R(K::Insert_Key)}},
                  {U"\x1b[3~", {R(K::Delete_Key)}},
                  {U"\x1b[5~", {R(K::Page_Up)}},
                  {U"\x1b[6~", {R(K::Page_Down)}},
                  {U"\x1b[A", {R(K::History_Back)}},
                  {U"\x1b[B", {R(K::History_Forward)}},
                  {U"\x1b[C", {R(K::Cursor_Right)}},
                  {U"\x1b[D", {R(K::Cursor_Left)}},
                  {U"\x1b[F", {R(K::End_Key)}},
                  {U"\x1b[H", {R(K::Home_Key)}},
                  {U"\x1b[4~", {}},
                  {U"\x1b[7~", {}},
                  {U"\x1b[@~", {}},
                  {U"\x1b[Ex", {}},
                  {U"\x1b[Gx", {}},
                  {U"\x1b[Zx", {}},
              });
}

TEST(KeyDecoder, EscapeTwiceQuitsAndReadsNoFurther) {
  for (const auto kind : {Terminal_Kind::LINUX, Terminal_Kind::XTERM}) {
    const Outcome outcome = Decode(kind,
                                   U"ab\x1b\x1b"
                                   U"cd");
    EXPECT_EQ(outcome.End, Loop_End::QUIT);
    EXPECT_EQ(Sent(outcome), (std::vector{Key(U'a'), Key(U'b'), R(K::Quit)}));
    EXPECT_EQ(outcome.Unread, 2U);
  }
}

TEST(KeyDecoder, RefreshOpensEveryPass) {
  const Outcome outcome = Decode(Terminal_Kind::LINUX, U"a\x1b[A\x1b[5~b");
  EXPECT_EQ(outcome.Requests,
            (std::vector{R(K::Refresh), Key(U'a'), R(K::Refresh), R(K::History_Back), R(K::Refresh),
                         R(K::Page_Up), R(K::Refresh), Key(U'b'), R(K::Refresh)}));
}

TEST(KeyDecoder, NoneIgnoresEveryKeyButRefreshesBeforeEachRead) {
  const std::u32string input = U"ls\r\x1b\x1b";
  const Outcome outcome = Decode(Terminal_Kind::NONE, input);
  EXPECT_EQ(outcome.End, Loop_End::END_OF_INPUT);
  EXPECT_EQ(outcome.Requests, std::vector<Terminal_Request>(input.size() + 1, R(K::Refresh)));
}

TEST(KeyDecoder, EndOfInputInsideASequenceEndsTheLoop) {
  struct Cut {
    Terminal_Kind Kind;
    std::u32string Input;
    std::vector<Terminal_Request> Expected;
  };
  const Cut cuts[] = {
      {Terminal_Kind::LINUX, U"\x1b", {}},
      {Terminal_Kind::LINUX, U"\x1b[", {}},
      {Terminal_Kind::LINUX, U"\x1b[1", {}},
      {Terminal_Kind::LINUX, U"\x1b[17", {}},
      {Terminal_Kind::LINUX, U"\x1b[24", {R(K::F12_Key)}},
      {Terminal_Kind::LINUX, U"\x1b[3", {}},
      {Terminal_Kind::LINUX, U"\x1b[5", {R(K::Page_Up)}},
      {Terminal_Kind::LINUX, U"\u00c5", {}},
      {Terminal_Kind::XTERM, U"\x1b", {}},
      {Terminal_Kind::XTERM, U"\x1bO", {}},
      {Terminal_Kind::XTERM, U"\x1b[2", {R(K::Insert_Key)}},
      {Terminal_Kind::XTERM, U"\x1b[22", {R(K::Insert_Key), R(K::Insert_Key)}},
      {Terminal_Kind::XTERM, U"\x1b[6", {R(K::Page_Down)}},
      {Terminal_Kind::XTERM, U"\x1b[3", {}},
      {Terminal_Kind::XTERM, U"\x1b[Z", {}},
  };
  for (const auto& cut : cuts) {
    const Outcome outcome = Decode(cut.Kind, cut.Input);
    EXPECT_EQ(outcome.End, Loop_End::END_OF_INPUT) << Show(cut.Input);
    EXPECT_EQ(Sent(outcome), cut.Expected) << Show(cut.Input);
  }
}

}  // namespace
