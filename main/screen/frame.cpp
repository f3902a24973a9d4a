#include "screen/frame.hpp"

#include <algorithm>
#include <utility>

#include "nk-text.hpp"

namespace nk::main {

namespace {

// The shown characters of the longest tail of `text` that fits in `budget` columns.
std::u32string Tail(std::u32string_view text, std::size_t budget) {
  std::size_t start = text.size();
  std::size_t used = 0;
  while (start > 0) {
    const std::size_t width = text::Shown_Cell(text[start - 1]).Columns;
    if (used + width > budget) break;
    used += width;
    --start;
  }
  // A combining mark without its base would join the marker.
  while (start < text.size() && text::Shown_Cell(text[start]).Columns == 0) ++start;
  return std::u32string(text.substr(start));
}

}  // namespace

std::string Build_Frame(std::string_view prompt, std::size_t blanks, std::u32string_view line) {
  // Appended in place: g++ 12 at -O3 takes a chain of + for an overlapping copy (-Wrestrict).
  std::string frame = "\r";
  frame.append(prompt).append(blanks, ' ').append(1, '\r').append(prompt);
  frame += text::Encode_Utf8(line);
  return frame;
}

Row_Frame Build_Row_Frame(std::string_view prompt, std::u32string_view line, std::size_t columns,
                          std::size_t previous_columns) {
  const std::size_t usable = columns > 0 ? columns - 1 : 0;
  const text::Wide_String whole_prompt = text::Decode_Utf8(prompt);
  const std::size_t prompt_columns = text::Display_Columns(whole_prompt);
  text::Wide_String head;  // drawn twice: before the blanks, and again before the rest
  text::Wide_String rest;
  if (prompt_columns + text::Display_Columns(line) <= usable) {
    head = whole_prompt;
    rest = line;
  } else if (prompt_columns + 1 <= usable) {
    head = whole_prompt;
    rest = Cut_Marker + Tail(line, usable - prompt_columns - 1);
  } else if (usable > 0) {
    head = Cut_Marker + Tail(whole_prompt, usable - 1);
  }
  const std::size_t head_columns = text::Display_Columns(head);
  const std::size_t erased = std::min(previous_columns, usable);
  const std::string shown_head = text::Encode_Shown(head);
  std::string bytes = "\r" + shown_head;
  bytes.append(erased > head_columns ? erased - head_columns : 0, ' ').append(1, '\r');
  bytes.append(shown_head).append(text::Encode_Shown(rest));
  return {std::move(bytes), head_columns + text::Display_Columns(rest)};
}

}  // namespace nk::main
