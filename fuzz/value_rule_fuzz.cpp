// The value rule of -i/-a/-r: every count's image reads back as the same count.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nk-shared.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nk::shared;
  Hundredths value = 0;
  try {
    value = To_Hundredths(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const Conversion_Error&) {
    return 0;
  }
  if (To_Hundredths(Image(value)) != value) std::abort();
  return 0;
}
