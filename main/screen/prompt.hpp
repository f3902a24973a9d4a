// The status prompt, as pure functions: what a frame (screen/frame.hpp) puts first.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "nelk.hpp"

namespace nk::main {

// Six blanks: the usage before the first sample.
inline constexpr std::string_view No_Usage = "      ";

struct Clock_Time {
  int Hours = 0;
  int Minutes = 0;
  int Seconds = 0;
};
// The time of day of `moment` in UTC.
Clock_Time Utc_Time(std::time_t moment);

// The total as shown when its file cannot be read: " ?.??", right-aligned in `width`
// columns so the prompt keeps the width of the last total drawn.
std::string Unknown_Total(std::size_t width);

// "KIND:USAGE6: HH:MM:SS:TOTAL$ ", the total as its image (" 0.00", "-3.50").
std::string Build_Prompt(Terminal_Kind kind, std::string_view usage, Clock_Time time,
                         std::string_view total);

}  // namespace nk::main
