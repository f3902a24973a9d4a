// The configuration file reader: any content gives options or a start-up error, nothing else.
#include <cstdint>
#include <string_view>

#include "nk-errors.hpp"
#include "nk-options.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    nk::options::Parse_Configuration(std::string_view(reinterpret_cast<const char*>(data), size),
                                     "fuzz.conf");
  } catch (const nk::errors::Startup_Error&) {
  }
  return 0;
}
