// The frame that redraws the prompt and the line, as pure functions. A frame is
//   CR, prompt, blanks over what the last drawing may have left, CR, prompt, line
// and no line end: the cursor stays after the line, where the next character goes.
// On a terminal of known width the frame is one row (Build_Row_Frame); else, as on a
// pipe, it is the prompt and the whole line (Build_Frame).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nk::main {

// The bytes of one redraw; `blanks` is Previous_Length + Total_Width + 6.
std::string Build_Frame(std::string_view prompt, std::size_t blanks, std::u32string_view line);

// What a one-row frame takes the place of a cut with: the prompt and the line's tail, or
// the prompt's tail, follow it.
inline constexpr char32_t Cut_Marker = U'<';

struct Row_Frame {
  std::string Bytes;
  std::size_t Columns = 0;  // of the row drawn, for the next frame to erase
};

// One redraw on a terminal `columns` wide whose row holds `previous_columns` columns of
// the last frame. The row never reaches the last column, so the cursor after it always
// has a cell of its own and the terminal never wraps: prompt and line when they fit;
// else the prompt, Cut_Marker and the line's longest tail that fits; when not even the
// prompt and the marker fit, Cut_Marker and the prompt's longest tail that fits. Tails
// are whole characters (a double-width one that would be cut is left out, and so are
// zero-width ones left at the front of a tail). Blanks cover what remains of the last
// frame, and no more. Characters are shown as text::Shown_Cell says.
Row_Frame Build_Row_Frame(std::string_view prompt, std::u32string_view line, std::size_t columns,
                          std::size_t previous_columns);

}  // namespace nk::main
