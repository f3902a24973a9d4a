#include <utility>

#include "nk-text.hpp"

namespace nk::text {
namespace {

constexpr char32_t Raw(unsigned char byte) {
  return 0xDC00 + byte;
}

// How a lead byte starts a sequence: its length, and the range its second byte must be
// in. The narrowed ranges exclude overlong forms, surrogates and values beyond U+10FFFF
// at the second byte, so a failure is always seen at the first byte that breaks it.
struct Lead {
  int Length = 0;  // 0: the byte starts nothing
  unsigned char Low = 0x80;
  unsigned char High = 0xBF;
};

constexpr Lead Classify(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  if (lead >= 0xF1 && lead <= 0xF3) return {4};
  return {};
}

}  // namespace

std::optional<unsigned char> Utf8_Reader::Take() {
  if (held_) {
    return std::exchange(held_, std::nullopt);
  }
  return source_();
}

std::optional<char32_t> Utf8_Reader::Next() {
  if (!pending_.empty()) {
    const char32_t c = pending_.front();
    pending_.erase(0, 1);
    return c;
  }
  const auto lead = Take();
  if (!lead) {
    return std::nullopt;
  }
  if (*lead < 0x80) {
    return *lead;
  }
  const Lead kind = Classify(*lead);
  char32_t value = *lead & (0xFFU >> (kind.Length + 1));
  std::u32string taken;  // continuation bytes, raw, in case the sequence breaks
  for (int i = 1; i < kind.Length; ++i) {
    const auto next = Take();
    const unsigned char low = i == 1 ? kind.Low : 0x80;
    const unsigned char high = i == 1 ? kind.High : 0xBF;
    if (!next || *next < low || *next > high) {
      held_ = next;
      pending_ = std::move(taken);
      return Raw(*lead);
    }
    value = (value << 6) | (*next & 0x3FU);
    taken += Raw(*next);
  }
  return kind.Length == 0 ? Raw(*lead) : value;
}

Wide_String Decode_Utf8(std::string_view bytes) {
  std::size_t next = 0;
  Utf8_Reader reader([&]() -> std::optional<unsigned char> {
    if (next == bytes.size()) return std::nullopt;
    return static_cast<unsigned char>(bytes[next++]);
  });
  Wide_String text;
  text.reserve(bytes.size());
  while (const auto c = reader.Next()) {
    text += *c;
  }
  return text;
}

std::optional<std::size_t> Invalid_Utf8_At(std::string_view bytes) {
  std::size_t position = 1;
  for (const char32_t c : Decode_Utf8(bytes)) {
    if (Is_Raw_Byte(c)) return position;
    position += Encode_Utf8(std::u32string_view(&c, 1)).size();
  }
  return std::nullopt;
}

std::string Encode_Utf8(std::u32string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char32_t c : text) {
    if (Is_Raw_Byte(c)) {
      bytes += static_cast<char>(c - 0xDC00);
      continue;
    }
    if (Has_No_Utf8_Form(c)) {
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

}  // namespace nk::text
