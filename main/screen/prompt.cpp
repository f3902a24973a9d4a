#include "screen/prompt.hpp"

#include "nk-text.hpp"

namespace nk::main {

namespace {

constexpr std::string_view Unknown_Image = " ?.??";

void Append_Two_Digits(std::string& text, int value) {
  text += static_cast<char>('0' + value / 10 % 10);
  text += static_cast<char>('0' + value % 10);
}

}  // namespace

Clock_Time Utc_Time(std::time_t moment) {
  std::tm parts{};
  ::gmtime_r(&moment, &parts);
  return {parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string Unknown_Total(std::size_t width) {
  if (width <= Unknown_Image.size()) {
    return std::string(Unknown_Image);
  }
  return std::string(width - Unknown_Image.size(), ' ') + std::string(Unknown_Image);
}

std::string Build_Prompt(Terminal_Kind kind, std::string_view usage, Clock_Time time,
                         std::string_view total) {
  std::string prompt(Image(kind));
  prompt += ':';
  prompt += usage;
  prompt += ": ";
  Append_Two_Digits(prompt, time.Hours);
  prompt += ':';
  Append_Two_Digits(prompt, time.Minutes);
  prompt += ':';
  Append_Two_Digits(prompt, time.Seconds);
  prompt += ':';
  prompt += total;
  prompt += "$ ";
  return prompt;
}

}  // namespace nk::main
