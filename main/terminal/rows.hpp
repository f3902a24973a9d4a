// What keeps the rows around the frame honest, as pure functions over widths. Bytes sent:
//   ESC [ 7 m % ESC [ 2 7 m   the partial-line marker, reverse video and nothing else changed
//   blanks CR ESC [ K         to the last column, back to the first, the blanks erased
//   CR ESC [ n A ESC [ J      up over re-wrapped rows of the last frame, then clear
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nk::main {
// The marker left after output that had no line end.
inline constexpr std::string_view Partial_Line_Marker = "\x1b[7m%\x1b[27m";

// Written after a program, on a terminal `columns` wide (empty for 0). From column 0 the
// cursor stays on its row, which the next frame draws over; from mid-row, or past the last
// column, the blanks wrap to a fresh row and the marker stays after the program's output.
// Nothing is read from the terminal, so keys typed ahead stay where they are.
std::string Partial_Line_Guard(std::size_t columns);

// Before the first frame after the window went from `old_columns` to `new_columns` on a
// terminal that re-wraps its rows: the last frame, `previous_columns` wide, now takes
// ceil(previous / new) rows with the cursor on the last. Goes up over the extra ones and
// clears, so one prompt row remains; empty when the frame still fits in one row.
std::string Rewrapped_Rows_Clear(std::size_t previous_columns, std::size_t old_columns,
                                 std::size_t new_columns);

// `message` within one row of a terminal `columns` wide, short of its last column as a
// frame is: whole when it fits, else its longest head of whole characters and "…".
// Characters are shown as text::Shown_Cell says, so no byte of it moves the cursor.
std::string One_Row(std::string_view message, std::size_t columns);
}  // namespace nk::main
