// The key loop: characters from the keyboard in, requests to the terminal thread out.
// Each pass sends Refresh, reads one character and decodes it by the terminal kind; under
// NONE every character is ignored. "discard" reads one more character and ignores it. Not
// listed is a plain key: Key carrying the character; `c` is any character its rows do not name.
//
// LINUX                                   | XTERM
// ----------------------------------------+------------------------------------------
// U+00C5          discard                 | U+00C5          Key
// ESC ESC         Quit, end of loop       | ESC ESC         Quit, end of loop
// ESC c           Key c                   | ESC c           nothing
//                                         | ESC O           discard
//                                         | ESC U+00C5      discard
// ESC [ 1 ~       Home_Key                | ESC [ 1 5/7/8/9 discard
// ESC [ 1 7/8/9   discard                 | ESC [ 1 c       nothing
// ESC [ 1 c       nothing                 | ESC [ 2         Insert_Key, then:
// ESC [ 2 ~       Insert_Key              |   0/1/3/4       discard
// ESC [ 2 4       F12_Key, discard        |   2             Insert_Key, discard
// ESC [ 2 0/1/3   discard                 |   c             nothing
// ESC [ 2 c       nothing                 |
// ESC [ 3         discard, Delete_Key     | ESC [ 3         discard, Delete_Key
// ESC [ 4         discard, End_Key        |
// ESC [ 5         Page_Up, discard        | ESC [ 5         Page_Up, discard
// ESC [ 6         Page_Down, discard      | ESC [ 6         Page_Down, discard
// ESC [ A/B       History_Back/_Forward   | ESC [ A/B       History_Back/_Forward
// ESC [ C/D       Cursor_Right/_Left      | ESC [ C/D       Cursor_Right/_Left
// ESC [ [         discard                 | ESC [ F/H       End_Key/Home_Key
// ESC [ c         Key c                   | ESC [ c         discard
//
// Modified keys under XTERM: a ";" that a row drops or discards after ESC [ starts a
// modifier, and the rest of the sequence (digits and ";", then one final character) goes
// with it. The key then does what it does unmodified: ESC [ 1 ; m X as ESC [ X (F1 to F4,
// ESC [ 1 ; m P to S, nothing), ESC [ n ; m ~ as ESC [ n ~. Control-Up is Up: history.
//
// The end of input anywhere, also inside a sequence, ends the loop; requests already
// due before that read have been sent.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "nelk.hpp"
#include "terminal/terminal_requests.hpp"

namespace nk::main {
// The next character typed, or nullopt at the end of input.
using Char_Source = std::function<std::optional<char32_t>()>;
// Sends one request and returns once the terminal thread has taken it.
using Request_Sink = std::function<void(const Terminal_Request&)>;

enum class Loop_End : std::uint8_t { QUIT, END_OF_INPUT };

// Runs passes until Escape twice (Quit sent) or the end of input (Quit not sent).
Loop_End Run_Key_Loop(Terminal_Kind kind, const Char_Source& read, const Request_Sink& send);
}  // namespace nk::main
