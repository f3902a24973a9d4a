#include "screen/prompt.hpp"

#include <algorithm>

#include "nk-shell.hpp"
#include "nk-text.hpp"

namespace nk::main {

namespace {

constexpr std::size_t Usage_Bytes = 5;  // and so at most five columns
constexpr std::string_view Unknown_Image = " ?.??";

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

void Append_Two_Digits(std::string& text, int value) {
  text += static_cast<char>('0' + value / 10 % 10);
  text += static_cast<char>('0' + value % 10);
}

}  // namespace

std::string Usage_Field(std::string_view first_line) {
  // Whole characters only: half of one would show as bad bytes. An invalid byte counts as
  // one character of one column, as a frame shows it.
  std::u32string shown;
  std::size_t bytes = 0;
  for (const char32_t c : text::Decode_Utf8(first_line)) {
    bytes += text::Encode_Utf8(std::u32string_view(&c, 1)).size();
    if (bytes > Usage_Bytes) break;
    shown += c;
  }
  // Every character takes at most as many columns as it has bytes.
  std::string field(Usage_Bytes - text::Display_Columns(shown), ' ');
  field += text::Encode_Utf8(shown);
  field += '%';
  return field;
}

std::string Sample_File(std::string_view home) {
  return std::string(home) + "/.cpu_usage.txt";
}

std::string Sample_Command(std::string_view home) {
  // The text already goes to the command interpreter: a nested "sh -c" would
  // only start a second shell on every redraw. HOME is quoted, so blanks, quotes or "$"
  // in it neither break the command nor inject one. Errors of a missing sampler would
  // land on the prompt twice a second, hence 2>/dev/null.
  return "exec " + shell::Shell_Quote(std::string(home) + "/bin/cpu") + " > " +
         shell::Shell_Quote(Sample_File(home)) + " </dev/null 2>/dev/null";
}

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

std::string Build_Frame(std::string_view prompt, std::size_t blanks, std::u32string_view line) {
  std::string frame = "\r";
  frame += prompt;
  frame.append(blanks, ' ');
  frame += '\r';
  frame += prompt;
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
  Row_Frame frame;
  frame.Bytes = "\r" + shown_head;
  frame.Bytes.append(erased > head_columns ? erased - head_columns : 0, ' ');
  frame.Bytes += '\r';
  frame.Bytes += shown_head;
  frame.Bytes += text::Encode_Shown(rest);
  frame.Columns = head_columns + text::Display_Columns(rest);
  return frame;
}

}  // namespace nk::main
