#include "terminal/key_decoder.hpp"

namespace nk::main {

namespace {

constexpr char32_t Escape = U'\x1B';
constexpr char32_t A_Ring = U'\u00C5';

// What a pass ends with.
enum class Step : std::uint8_t { GO_ON, QUIT, END };

// The characters and requests of one pass.
class Pass {
 public:
  Pass(const Char_Source& read, const Request_Sink& send) : read_(read), send_(send) {}

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
  Step Discard() { return Read() ? Step::GO_ON : Step::END; }
  Step Discard_Then(Request_Kind kind) {
    if (!Read()) {
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

// ESC [ seen under XTERM.
Step Xterm_Bracket(Pass& pass) {
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
      return longer ? pass.Discard() : Step::GO_ON;
    }
    case U'3':
      return pass.Discard_Then(Request_Kind::Delete_Key);
    case U'5':
      return pass.Then_Discard(Request_Kind::Page_Up);
    case U'6':
      return pass.Then_Discard(Request_Kind::Page_Down);
    case U'F':
      return pass.Send_Then_Go_On(Request_Kind::End_Key);
    case U'H':
      return pass.Send_Then_Go_On(Request_Kind::Home_Key);
    default:
      return pass.Discard();
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
  return (*c2 == U'O' || *c2 == A_Ring) ? pass.Discard() : Step::GO_ON;
}

}  // namespace

Loop_End Run_Key_Loop(Terminal_Kind kind, const Char_Source& read, const Request_Sink& send) {
  Pass pass(read, send);
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
