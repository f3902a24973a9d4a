#include "terminal/rows.hpp"

#include "nk-text.hpp"

namespace nk::main {
std::string Partial_Line_Guard(std::size_t columns) {
  if (columns == 0) {
    return "";
  }
  std::string guard(Partial_Line_Marker);
  // One blank fewer than the width: with the marker, exactly one full row from column 0,
  // so the cursor only waits at the edge there and CR takes it back to that same row.
  guard.append(columns - 1, ' ');
  // Erased, the blanks are no cells: a terminal that re-wraps would split the row when the
  // window narrows, and join the next program's output back onto the prompt row.
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

std::string One_Row(std::string_view message, std::size_t columns) {
  constexpr char32_t Ellipsis = U'\u2026';
  const std::size_t usable = columns > 0 ? columns - 1 : 0;
  const text::Wide_String text = text::Decode_Utf8(message);
  if (text::Display_Columns(text) <= usable) {
    return text::Encode_Shown(text);
  }
  if (usable == 0) {
    return "";
  }
  text::Wide_String head;
  std::size_t used = 1;  // the ellipsis
  for (const char32_t c : text) {
    used += text::Shown_Cell(c).Columns;
    if (used > usable) {
      break;
    }
    head += c;
  }
  return text::Encode_Shown(head + Ellipsis);
}
}  // namespace nk::main
