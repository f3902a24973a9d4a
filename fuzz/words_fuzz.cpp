// Line splitting, assignment splitting and quote removal take any line.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nk-shell.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nk::shell;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  std::size_t length = 0;
  for (const auto& word : Split_Words(line)) length += word.size();
  const auto assignment = Split_Assignment(line);
  // Splitting and quote removal only ever drop characters.
  if (length > line.size() || Remove_Quotes(line).size() > line.size() ||
      (assignment && assignment->Name.size() + assignment->Value.size() > line.size()))
    std::abort();
  Command_Name(line);
  Recognize_Builtin(line);
  return 0;
}
