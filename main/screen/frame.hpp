// The frame that redraws the prompt and the line, as pure functions: CR, prompt, blanks
// over what the last frame may have left, CR, prompt, line, and no line end, so the cursor
// stays where the next character goes. One row on a terminal of known width
// (Build_Row_Frame); else, as on a pipe, the prompt and the whole line (Build_Frame).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nk::main {

// `blanks` is Previous_Length + Total_Width + 6.
std::string Build_Frame(std::string_view prompt, std::size_t blanks, std::u32string_view line);

// Stands for what a one-row frame cut off, before the tail it shows.
inline constexpr char32_t Cut_Marker = U'<';

struct Row_Frame {
  std::string Bytes;
  std::size_t Columns = 0;  // of the row drawn, for the next frame to erase
};

// One redraw on a terminal `columns` wide whose row holds `previous_columns` columns of the
// last frame. The row never reaches the last column, so the terminal never wraps: prompt
// and line; else the prompt, Cut_Marker and the line's longest tail that fits; else
// Cut_Marker and the prompt's longest tail. Tails are whole characters (text::Shown_Cell),
// and start with no zero-width one. Blanks cover what remains of the last frame, no more.
Row_Frame Build_Row_Frame(std::string_view prompt, std::u32string_view line, std::size_t columns,
                          std::size_t previous_columns);

}  // namespace nk::main
