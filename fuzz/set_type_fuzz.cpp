// Any value is typed and shown; a number's image types back the same (an infinity is text).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nk-shell.hpp"
#include "nk-text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nk::shell;
  const auto entry = Create("name", std::string_view(reinterpret_cast<const char*>(data), size));
  const auto image = Image(entry);
  if (Entry_Name(entry) != "name") std::abort();
  if (entry.Value_Kind == Value_Type::INT ||
      (entry.Value_Kind == Value_Type::FLT && image.find("Inf") == std::string::npos)) {
    const auto again = Create("name", nk::text::Trim_Blanks(image));
    if (again.Value_Kind != entry.Value_Kind || Image(again) != image) std::abort();
  }
  return 0;
}
