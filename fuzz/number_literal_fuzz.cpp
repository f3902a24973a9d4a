// The number-literal reader: an integer it recognises reads back from its decimal form.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "number_literal.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nk::shell;
  const auto number = Parse_Number(std::string_view(reinterpret_cast<const char*>(data), size));
  if (number && number->Is_Integer) {
    const auto again = Parse_Number(std::to_string(number->Integer));
    if (!again || !again->Is_Integer || again->Integer != number->Integer) std::abort();
  }
  return 0;
}
