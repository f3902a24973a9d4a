#include "terminal/key_decoder.hpp"

#include <string_view>

namespace nk::main {
namespace {
constexpr char32_t Escape = U'\x1B';
constexpr char32_t A_Ring = U'\u00C5';
// Between a key's number and its final byte, xterm writes ";" and a modifier.
constexpr char32_t Separator = U';';

bool One_Of(char32_t c, std::u32string_view set) {
  return set.find(c) != std::u32string_view::npos;
}

// The characters and requests of the loop. At the end of input Read gives 0, which no row
// names, and nothing is sent any more. `modified_keys`: a ";" that a row drops or discards
// takes the rest of a modified key with it, so the modifier never reaches the line.
class Keys {
 public:
  Keys(const Char_Source& read, const Request_Sink& send, bool modified_keys)
      : read_(read), send_(send), modified_keys_(modified_keys) {}
  bool Ended() const { return ended_; }
  char32_t Read() {
    const auto c = ended_ ? std::nullopt : read_();
    ended_ = !c;
    return c.value_or(0);
  }
  void Send(Request_Kind kind, char32_t c = 0) {
    if (!ended_) {
      send_(Terminal_Request{kind, c});
    }
  }
  // Reads one more character and ignores it, whatever it is.
  void Skip_One() { Read(); }
  // The same, but a ";" takes the rest of a modified key with it.
  void Discard_One() {
    if (Read() == Separator && modified_keys_) {
      Rest_Of_Modified();
    }
  }
  // Reads the parameters left after a ";" and returns the character after them, the final one.
  char32_t Rest_Of_Modified() {
    char32_t c = Read();
    while (One_Of(c, U"0123456789;")) {
      c = Read();
    }
    return c;
  }
  void Send_Then_Discard(Request_Kind kind) {
    Send(kind);
    Discard_One();
  }
  void Discard_Then_Send(Request_Kind kind) {
    Discard_One();
    Send(kind);
  }

 private:
  const Char_Source& read_;
  const Request_Sink& send_;
  bool modified_keys_;
  bool ended_ = false;
};

// The keys that end "ESC [" with a letter: the arrows on both keyboards, End and Home on XTERM.
std::optional<Request_Kind> Letter_Key(char32_t c, bool xterm) {
  constexpr Request_Kind keys[] = {Request_Kind::History_Back, Request_Kind::History_Forward,
                                   Request_Kind::Cursor_Right, Request_Kind::Cursor_Left,
                                   Request_Kind::End_Key,      Request_Kind::Home_Key};
  const std::size_t at = std::u32string_view(U"ABCDFH").substr(0, xterm ? 6 : 4).find(c);
  return at == std::u32string_view::npos ? std::nullopt : std::optional(keys[at]);
}

// ESC [ seen under LINUX.
void Linux_Bracket(Keys& keys) {
  const char32_t c3 = keys.Read();
  if (const auto key = Letter_Key(c3, false)) {
    return keys.Send(*key);
  }
  switch (c3) {
    case U'1':
      if (const char32_t c4 = keys.Read(); c4 == U'~') {
        keys.Send(Request_Kind::Home_Key);
      } else if (One_Of(c4, U"789")) {
        keys.Discard_One();
      }
      return;
    case U'2':
      if (const char32_t c4 = keys.Read(); c4 == U'~') {
        keys.Send(Request_Kind::Insert_Key);
      } else if (c4 == U'4') {
        keys.Send_Then_Discard(Request_Kind::F12_Key);
      } else if (One_Of(c4, U"013")) {
        keys.Discard_One();
      }
      return;
    case U'3':
      return keys.Discard_Then_Send(Request_Kind::Delete_Key);
    case U'4':
      return keys.Discard_Then_Send(Request_Kind::End_Key);
    case U'5':
      return keys.Send_Then_Discard(Request_Kind::Page_Up);
    case U'6':
      return keys.Send_Then_Discard(Request_Kind::Page_Down);
    case U'[':
      return keys.Discard_One();
    default:
      return keys.Send(Request_Kind::Key, c3);
  }
}

// ESC [ seen under XTERM.
void Xterm_Bracket(Keys& keys) {
  const char32_t c3 = keys.Read();
  if (const auto key = Letter_Key(c3, true)) {
    return keys.Send(*key);
  }
  switch (c3) {
    case U'1':
      if (const char32_t c4 = keys.Read(); c4 == Separator) {
        // A modified arrow, Home, End or F1 to F4 (ESC [ 1 ; 2 P): the key as if unmodified.
        if (const auto key = Letter_Key(keys.Rest_Of_Modified(), true)) {
          keys.Send(*key);
        }
      } else if (One_Of(c4, U"5789")) {
        keys.Discard_One();
      }
      return;
    case U'2':
      keys.Send(Request_Kind::Insert_Key);
      if (const char32_t c4 = keys.Read(); c4 == U'2') {
        keys.Send_Then_Discard(Request_Kind::Insert_Key);
      } else if (One_Of(c4, U"0134")) {
        keys.Discard_One();
      } else if (c4 == Separator) {
        keys.Rest_Of_Modified();
      }
      return;
    case U'3':
      return keys.Discard_Then_Send(Request_Kind::Delete_Key);
    case U'5':
      return keys.Send_Then_Discard(Request_Kind::Page_Up);
    case U'6':
      return keys.Send_Then_Discard(Request_Kind::Page_Down);
    case Separator:
      keys.Rest_Of_Modified();
      return;
    default:
      return keys.Discard_One();
  }
}

// One pass from its first character `c`; true once it has sent Quit.
bool Decode(Keys& keys, Terminal_Kind kind, char32_t c) {
  const bool xterm = kind == Terminal_Kind::XTERM;
  if (c != Escape) {
    if (c == A_Ring && !xterm) {
      keys.Discard_One();
    } else {
      keys.Send(Request_Kind::Key, c);
    }
    return false;
  }
  const char32_t c2 = keys.Read();
  if (c2 == Escape) {
    keys.Send(Request_Kind::Quit);
    return true;
  }
  if (c2 == U'[') {
    xterm ? Xterm_Bracket(keys) : Linux_Bracket(keys);
  } else if (!xterm) {
    keys.Send(Request_Kind::Key, c2);
  } else if (c2 == U'O' || c2 == A_Ring) {
    keys.Skip_One();  // not Discard_One: Alt-O then ";" is two keys, no modified one
  }
  return false;
}
}  // namespace

Loop_End Run_Key_Loop(Terminal_Kind kind, const Char_Source& read, const Request_Sink& send) {
  Keys keys(read, send, kind == Terminal_Kind::XTERM);
  for (;;) {
    keys.Send(Request_Kind::Refresh);
    const char32_t c = keys.Read();
    if (kind != Terminal_Kind::NONE && Decode(keys, kind, c)) {
      return Loop_End::QUIT;
    }
    if (keys.Ended()) {
      return Loop_End::END_OF_INPUT;
    }
  }
}
}  // namespace nk::main
