// UTF-8 on the terminal: bytes from the keyboard into characters, the line into bytes
// for the screen. Characters beyond U+FFFF are kept whole both ways.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "options/nk-options.hpp"

namespace nk::main {

// The next byte of input, or nullopt at its end.
using Byte_Source = std::function<std::optional<unsigned char>()>;

// Reads characters from a byte source. Ill-formed input (stray continuation bytes,
// overlong forms, surrogates, values beyond U+10FFFF, cut sequences) is skipped, and a
// byte that cuts a sequence short is decoded afresh, so no good character is lost.
class Utf8_Reader {
 public:
  explicit Utf8_Reader(Byte_Source source) : source_(std::move(source)) {}

  // The next well-formed character; nullopt only at the end of input.
  std::optional<char32_t> Next();

 private:
  std::optional<unsigned char> Take();

  Byte_Source source_;
  std::optional<unsigned char> held_;  // read too far; the start of the next character
};

// The UTF-8 bytes of a line, shared with the option values.
using options::Encode_Utf8;

}  // namespace nk::main
