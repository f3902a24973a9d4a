#include "screen/prompt.hpp"

namespace nk::main {

std::string Unknown_Total(std::size_t width) {
  constexpr std::string_view Unknown_Image = " ?.??";
  const std::size_t padding = width > Unknown_Image.size() ? width - Unknown_Image.size() : 0;
  return std::string(padding, ' ') + std::string(Unknown_Image);
}

std::string Build_Prompt(Terminal_Kind kind, std::string_view usage, std::time_t moment,
                         std::string_view total) {
  std::tm parts{};
  ::gmtime_r(&moment, &parts);
  std::string prompt = std::string(Image(kind)) + ':' + std::string(usage) + ": ";
  for (const int part : {parts.tm_hour, parts.tm_min, parts.tm_sec}) {
    prompt += static_cast<char>('0' + part / 10);
    prompt += static_cast<char>('0' + part % 10);
    prompt += ':';
  }
  return prompt + std::string(total) + "$ ";
}

}  // namespace nk::main
