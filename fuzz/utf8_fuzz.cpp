// Decoding then encoding gives any bytes back; the reader agrees with the whole-text decoder.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nk-text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nk::text;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto text = Decode_Utf8(bytes);
  if (Encode_Utf8(text) != bytes) std::abort();
  std::size_t next = 0;
  Utf8_Reader reader([&]() -> std::optional<unsigned char> {
    return next < size ? std::optional<unsigned char>(data[next++]) : std::nullopt;
  });
  std::u32string streamed;
  while (const auto c = reader.Next()) streamed += *c;
  if (streamed != text) std::abort();
  if (Invalid_Utf8_At(bytes).has_value() != std::ranges::any_of(text, Is_Raw_Byte)) std::abort();
  return 0;
}
