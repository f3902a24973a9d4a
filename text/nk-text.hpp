// nk::text: the one place for the rules of text shared by every module: UTF-8 both ways,
// Latin-1 narrowing, display columns, blanks and ASCII letter case.
//
// Invalid bytes have one policy everywhere: each byte that does not belong to a
// well-formed UTF-8 sequence decodes to its own reserved code point, U+DC80 + byte, and
// encodes back to that same byte. Decoding then encoding gives back any byte string
// unchanged, and no valid text can produce these code points (they are surrogates).
// Readers that must not accept such bytes test for them with Is_Raw_Byte.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nk::text {

using Wide_String = std::u32string;

// ---- UTF-8 ----------------------------------------------------------------------------

// True for the code points that stand for an invalid byte.
constexpr bool Is_Raw_Byte(char32_t c) {
  return c >= 0xDC80 && c <= 0xDCFF;
}

// Surrogates (raw bytes among them) and values beyond U+10FFFF.
constexpr bool Has_No_Utf8_Form(char32_t c) {
  return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF);
}

// U+0000 to U+001F and U+007F to U+009F: the keys that edit, and what must never reach
// the terminal as itself.
constexpr bool Is_Control(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// The next byte of input, or nullopt at its end.
using Byte_Source = std::function<std::optional<unsigned char>()>;

// Decodes a stream one character at a time, reading no byte past the character it
// returns (a key must not wait for the next key). A sequence cut short by a byte that
// does not continue it yields its bytes as raw bytes and decodes that byte afresh.
class Utf8_Reader {
 public:
  explicit Utf8_Reader(Byte_Source source) : source_(std::move(source)) {}

  // The next character or raw byte; nullopt only at the end of input.
  std::optional<char32_t> Next();

 private:
  std::optional<unsigned char> Take();

  Byte_Source source_;
  std::u32string pending_;             // raw bytes of a broken sequence, still to give
  std::optional<unsigned char> held_;  // read too far: the start of the next character
};

// The characters of `bytes`, invalid bytes as raw bytes.
Wide_String Decode_Utf8(std::string_view bytes);
// The 1-based position of the first byte that is not well-formed UTF-8, if any.
std::optional<std::size_t> Invalid_Utf8_At(std::string_view bytes);
// Raw bytes become their byte again; other surrogates and values beyond U+10FFFF, which
// have no UTF-8 form, become U+FFFD.
std::string Encode_Utf8(std::u32string_view text);

// ---- display columns ----------------------------------------------------------------
//
// What a terminal is given for a character, and how many columns it takes there: the
// C library's wcwidth under the UTF-8 character type of C.UTF-8, whatever the process's
// own locale. Double-width characters take 2, combining and other zero-width characters
// 0. Whatever cannot be shown as itself is shown as U+FFFD, one column: a raw byte, a
// control character (U+0000 to U+001F, U+007F to U+009F, so that no name can move the
// cursor or send an escape sequence), a value with no UTF-8 form, and a character the C
// library calls unprintable (unassigned code points among them). Without C.UTF-8 every
// other character counts one column.

inline constexpr char32_t Replacement_Character = U'\uFFFD';

// A character and its columns as shown.
struct Cell {
  char32_t Shown = 0;
  std::size_t Columns = 0;
};
Cell Shown_Cell(char32_t c);
// The columns of `text` as shown: the sum over its characters.
std::size_t Display_Columns(std::u32string_view text);
// UTF-8 of the shown characters of `text`.
std::string Encode_Shown(std::u32string_view text);

// ---- Latin-1 --------------------------------------------------------------------------

// Every character above U+00FF becomes a blank rather than a wrapped byte, which could
// turn into a quote or another character that means something to a shell.
std::string Narrow(std::u32string_view text);
// Each byte becomes the character of the same number.
Wide_String Widen(std::string_view text);
// True when every character has a Latin-1 form, so Narrow loses nothing.
bool Is_Latin1(std::u32string_view text);

// ---- blanks and letter case -----------------------------------------------------------

// Blank means the space character only: a tab is an ordinary character.
std::string_view Trim_Blanks(std::string_view text);

constexpr char To_Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
// Equal once ASCII letters are folded; other bytes must match exactly.
bool Equal_Ignoring_Case(std::string_view a, std::string_view b);

}  // namespace nk::text
