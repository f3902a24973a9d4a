// UTF-8 decoding and encoding of option values and configuration lines.
#include <cstdint>
#include <string>

#include "options/nk-options.hpp"

namespace nk::options {
namespace {

// Bytes in the sequence that `lead` starts, 0 for a byte that cannot start one.
std::size_t Sequence_Length(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  return 0;
}

}  // namespace

Wide_String Decode_Utf8(std::string_view bytes, std::string_view what) {
  static constexpr std::array<char32_t, 5> smallest = {0, 0, 0x80, 0x800, 0x10000};
  Wide_String text;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const auto length = Sequence_Length(lead);
    bool valid = length != 0 && i + length <= bytes.size();
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms and surrogates would let two byte strings stand for one text.
    if (!valid || code < smallest.at(length) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      throw Text_Conversion_Error(std::string(what) + ": not valid UTF-8 at byte " +
                                  std::to_string(i + 1));
    }
    text += code;
    i += length;
  }
  return text;
}

std::string Encode_Utf8(std::u32string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char32_t c : text) {
    // A surrogate or a value beyond U+10FFFF has no UTF-8 form a terminal would accept.
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

std::string Narrow(std::u32string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char32_t c : text) {
    bytes += c > 0xFF ? ' ' : static_cast<char>(c);
  }
  return bytes;
}

}  // namespace nk::options
