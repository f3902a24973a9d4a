// The fifteen requests that the terminal thread serves, in the order of their numbers,
// and how long each one holds its caller.
#pragma once

#include <cstdint>
#include <string>

namespace nk::main {
enum class Request_Kind : std::uint8_t {
  Quit,
  Key,
  Refresh,
  Page_Down,
  Page_Up,
  History_Back,
  History_Forward,
  Cursor_Left,
  Cursor_Right,
  F12_Key,
  Delete_Key,
  Home_Key,
  End_Key,
  Insert_Key,
  Spare_Request,
};

struct Terminal_Request {
  Request_Kind Kind = Request_Kind::Spare_Request;
  char32_t Character = 0;  // Key only
  // Key only, in place of Character when not empty: characters that are no control
  // characters, read one after another while more input was waiting (a paste).
  std::u32string Run{};
  // More input was already waiting when the request went out; another request follows
  // before the key loop blocks on a read.
  bool Typed_Ahead = false;

  friend bool operator==(const Terminal_Request&, const Terminal_Request&) = default;
};

// True for the requests whose caller waits until the work is done, not only accepted.
constexpr bool Waits_For_Body(Request_Kind kind) {
  return kind == Request_Kind::Quit || kind == Request_Kind::Key ||
         kind == Request_Kind::History_Back || kind == Request_Kind::History_Forward;
}
}  // namespace nk::main
