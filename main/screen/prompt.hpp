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

// The total as shown when its file cannot be read: " ?.??", right-aligned in `width`
// columns so the prompt keeps the width of the last total drawn.
std::string Unknown_Total(std::size_t width);

// "KIND:USAGE6: HH:MM:SS:TOTAL$ ", the time of `moment` in UTC, the total as its image.
std::string Build_Prompt(Terminal_Kind kind, std::string_view usage, std::time_t moment,
                         std::string_view total);

}  // namespace nk::main
