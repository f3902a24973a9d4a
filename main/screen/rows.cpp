#include "screen/rows.hpp"

namespace nk::main {

std::string Partial_Line_Guard(std::size_t columns) {
  if (columns == 0) {
    return "";
  }
  std::string guard(Partial_Line_Marker);
  // One blank fewer than the width: with the marker, exactly one full row from column 0,
  // so the cursor only waits at the edge there and CR takes it back to that same row.
  guard.append(columns - 1, ' ');
  // The blanks are cells the terminal keeps: a terminal that re-wraps would split the
  // row when the window narrows, and the next program's output would land on the part
  // it joins back to the prompt row when the window widens. Erased, they are no cells.
  guard += "\r\x1b[K";
  return guard;
}

std::string Rewrapped_Rows_Clear(std::size_t previous_columns, std::size_t old_columns,
                                 std::size_t new_columns) {
  if (new_columns == 0 || new_columns >= old_columns) {
    return "";
  }
  // A frame that exactly fills the new width is still one row: the cursor waits at its
  // edge rather than starting another.
  const std::size_t rows = (previous_columns + new_columns - 1) / new_columns;
  if (rows <= 1) {
    return "";
  }
  return "\r\x1b[" + std::to_string(rows - 1) + "A\x1b[J";
}

}  // namespace nk::main
