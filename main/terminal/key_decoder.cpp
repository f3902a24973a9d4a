#include "terminal/key_decoder.hpp"

namespace nk::main {

namespace {

constexpr char32_t Escape = U'\x1B';
constexpr char32_t A_Ring = U'\u00C5';

// What a pass ends with.
enum class Step : std::uint8_t { GO_ON, QUIT, END };

// A modified key's parameters: xterm writes ";" and the modifier between the key's number
// and its final byte (ESC [ 1 ; 5 D is Control-Left).
constexpr char32_t Separator = U';';

constexpr bool Is_Parameter(char32_t c) {
  return (c >= U'0' && c <= U'9') || c == Separator;
}

// The characters and requests of one pass. `modified_keys`: a ";" that a row drops or
// discards starts the rest of a modified key's sequence, which goes with it, so that the
// modifier's digits and final byte never reach the line.
class Pass {
 public:
  Pass(const Char_Source& read, const Request_Sink& send, bool modified_keys)
      : read_(read), send_(send), modified_keys_(modified_keys) {}

  std::optional<char32_t> Read() { return read_(); }
  void Send(Request_Kind kind, char32_t c = 0) { send_(Terminal_Request{kind, c}); }
  Step Key(char32_t c) {
    Send(Request_Kind::Key, c);
    return Step::GO_ON;
  }
  Step Send_Then_Go_On(Request_Kind kind) {
    Send(kind);
    return Step::GO_ON;
  }
  // Reads one more character and ignores it, whatever it is.
  Step Skip() { return Read() ? Step::GO_ON : Step::END; }
  // Skip, but a ";" takes the rest of a modified key's sequence with it.
  Step Discard() {
    const auto c = Read();
    return c ? Dropped(*c) : Step::END;
  }
  // After a row has dropped `c`.
  Step Dropped(char32_t c) {
    if (!modified_keys_ || c != Separator) {
      return Step::GO_ON;
    }
    return Rest_Of_Modified() ? Step::GO_ON : Step::END;
  }
  // Reads the parameters left after a ";" and the final byte, which it returns; nullopt
  // at the end of input. A character that is neither ends the sequence all the same.
  std::optional<char32_t> Rest_Of_Modified() {
    for (;;) {
      const auto c = Read();
      if (!c || !Is_Parameter(*c)) {
        return c;
      }
    }
  }
  Step Discard_Then(Request_Kind kind) {
    if (Discard() == Step::END) {
      return Step::END;
    }
    Send(kind);
    return Step::GO_ON;
  }
  Step Then_Discard(Request_Kind kind) {
    Send(kind);
    return Discard();
  }

 private:
  const Char_Source& read_;
  const Request_Sink& send_;
  bool modified_keys_;
};

// The arrows end "ESC [" the same way on both keyboards.
std::optional<Request_Kind> Arrow(char32_t c) {
  switch (c) {
    case U'A':
      return Request_Kind::History_Back;
    case U'B':
      return Request_Kind::History_Forward;
    case U'C':
      return Request_Kind::Cursor_Right;
    case U'D':
      return Request_Kind::Cursor_Left;
    default:
      return std::nullopt;
  }
}

// ESC [ seen under LINUX.
Step Linux_Bracket(Pass& pass) {
  const auto c3 = pass.Read();
  if (!c3) {
    return Step::END;
  }
  if (const auto arrow = Arrow(*c3)) {
    return pass.Send_Then_Go_On(*arrow);
  }
  switch (*c3) {
    case U'1': {
      const auto c4 = pass.Read();
      if (!c4) {
        return Step::END;
      }
      if (*c4 == U'~') {
        return pass.Send_Then_Go_On(Request_Kind::Home_Key);
      }
      return (*c4 == U'7' || *c4 == U'8' || *c4 == U'9') ? pass.Discard() : Step::GO_ON;
    }
    case U'2': {
      const auto c4 = pass.Read();
      if (!c4) {
        return Step::END;
      }
      if (*c4 == U'~') {
        return pass.Send_Then_Go_On(Request_Kind::Insert_Key);
      }
      if (*c4 == U'4') {
        return pass.Then_Discard(Request_Kind::F12_Key);
      }
      return (*c4 == U'0' || *c4 == U'1' || *c4 == U'3') ? pass.Discard() : Step::GO_ON;
    }
    case U'3':
      return pass.Discard_Then(Request_Kind::Delete_Key);
    case U'4':
      return pass.Discard_Then(Request_Kind::End_Key);
    case U'5':
      return pass.Then_Discard(Request_Kind::Page_Up);
    case U'6':
      return pass.Then_Discard(Request_Kind::Page_Down);
    case U'[':
      return pass.Discard();
    default:
      return pass.Key(*c3);
  }
}

Step Linux_Pass(Pass& pass, char32_t c) {
  if (c == A_Ring) {
    return pass.Discard();
  }
  if (c != Escape) {
    return pass.Key(c);
  }
  const auto c2 = pass.Read();
  if (!c2) {
    return Step::END;
  }
  if (*c2 == Escape) {
    pass.Send(Request_Kind::Quit);
    return Step::QUIT;
  }
  return *c2 == U'[' ? Linux_Bracket(pass) : pass.Key(*c2);
}

// The keys that XTERM ends with a letter after "ESC [", modified or not.
std::optional<Request_Kind> Xterm_Letter(char32_t c) {
  if (c == U'F') {
    return Request_Kind::End_Key;
  }
  if (c == U'H') {
    return Request_Kind::Home_Key;
  }
  return Arrow(c);
}

// ESC [ 1 ; seen under XTERM: a modified arrow, Home, End or F1 to F4 (ESC [ 1 ; 2 P).
// The modifier is dropped and the key does what it does unmodified.
Step Xterm_Modified_Letter(Pass& pass) {
  const auto final_byte = pass.Rest_Of_Modified();
  if (!final_byte) {
    return Step::END;
  }
  if (const auto key = Xterm_Letter(*final_byte)) {
    return pass.Send_Then_Go_On(*key);
  }
  return Step::GO_ON;
}

// ESC [ seen under XTERM.
Step Xterm_Bracket(Pass& pass) {
  const auto c3 = pass.Read();
  if (!c3) {
    return Step::END;
  }
  if (const auto key = Xterm_Letter(*c3)) {
    return pass.Send_Then_Go_On(*key);
  }
  switch (*c3) {
    case U'1': {
      const auto c4 = pass.Read();
      if (!c4) {
        return Step::END;
      }
      if (*c4 == Separator) {
        return Xterm_Modified_Letter(pass);
      }
      const bool function_key = *c4 == U'5' || *c4 == U'7' || *c4 == U'8' || *c4 == U'9';
      return function_key ? pass.Discard() : Step::GO_ON;
    }
    case U'2': {
      pass.Send(Request_Kind::Insert_Key);
      const auto c4 = pass.Read();
      if (!c4) {
        return Step::END;
      }
      if (*c4 == U'2') {
        return pass.Then_Discard(Request_Kind::Insert_Key);
      }
      const bool longer = *c4 == U'0' || *c4 == U'1' || *c4 == U'3' || *c4 == U'4';
      return longer ? pass.Discard() : pass.Dropped(*c4);
    }
    case U'3':
      return pass.Discard_Then(Request_Kind::Delete_Key);
    case U'5':
      return pass.Then_Discard(Request_Kind::Page_Up);
    case U'6':
      return pass.Then_Discard(Request_Kind::Page_Down);
    default:
      return *c3 == Separator ? pass.Dropped(*c3) : pass.Discard();
  }
}

Step Xterm_Pass(Pass& pass, char32_t c) {
  if (c != Escape) {
    return pass.Key(c);
  }
  const auto c2 = pass.Read();
  if (!c2) {
    return Step::END;
  }
  if (*c2 == Escape) {
    pass.Send(Request_Kind::Quit);
    return Step::QUIT;
  }
  if (*c2 == U'[') {
    return Xterm_Bracket(pass);
  }
  // Not Discard: only "ESC [" sequences carry parameters, and Alt-O then ";" is two keys.
  return (*c2 == U'O' || *c2 == A_Ring) ? pass.Skip() : Step::GO_ON;
}

}  // namespace

Loop_End Run_Key_Loop(Terminal_Kind kind, const Char_Source& read, const Request_Sink& send) {
  Pass pass(read, send, kind == Terminal_Kind::XTERM);
  for (;;) {
    pass.Send(Request_Kind::Refresh);
    const auto c = pass.Read();
    if (!c) {
      return Loop_End::END_OF_INPUT;
    }
    Step step = Step::GO_ON;
    switch (kind) {
      case Terminal_Kind::LINUX:
        step = Linux_Pass(pass, *c);
        break;
      case Terminal_Kind::XTERM:
        step = Xterm_Pass(pass, *c);
        break;
      case Terminal_Kind::NONE:
        break;
    }
    if (step == Step::QUIT) {
      return Loop_End::QUIT;
    }
    if (step == Step::END) {
      return Loop_End::END_OF_INPUT;
    }
  }
}

}  // namespace nk::main
