// The switch scanner of the command line.
#include <string>

#include "nk-options.hpp"

namespace nk::options {
namespace {

// The character starting at `at`, with its UTF-8 continuation bytes, so that an unknown
// non-ASCII letter is named whole rather than as a broken byte.
std::string_view Character_At(std::string_view argument, std::size_t at) {
  std::size_t end = at + 1;
  while (end < argument.size() && (static_cast<unsigned char>(argument[end]) & 0xC0) == 0x80) {
    ++end;
  }
  return argument.substr(at, end - at);
}

[[noreturn]] void Invalid(std::string_view switch_text) {
  throw Invalid_Switch("Invalid Switch " + std::string(switch_text));
}

}  // namespace

Option_Array New_Option_Array() {
  Option_Array options;
  for (const auto& row : parameters::Option_Table) {
    options[parameters::Slot(row.Option)].Has_Value = row.Has_Value;
  }
  return options;
}

Option_Array Parse_Command_Line(std::span<const std::string> arguments) {
  auto options = New_Option_Array();
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (argument.empty() || argument.front() != '-') {
      continue;  // no positional arguments: ignored
    }
    if (argument.size() == 1 || argument[1] == '-') {
      Invalid(argument);
    }
    for (std::size_t at = 1; at < argument.size(); ++at) {
      const auto* row = parameters::Find_Switch(static_cast<unsigned char>(argument[at]));
      if (row == nullptr) {
        std::string written = "-";
        written += Character_At(argument, at);
        Invalid(written);
      }
      auto& option = options[parameters::Slot(row->Option)];
      option.Present = true;
      if (!row->Has_Value) {
        continue;
      }
      std::string_view value;
      if (at + 1 < argument.size()) {
        value = argument.substr(at + 1);
      } else if (index + 1 < arguments.size()) {
        value = arguments[++index];
      } else {
        throw errors::Spec_Error(std::string("No parameter for ") + row->Switch);
      }
      option.Value = Decode_Utf8(value, std::string("value of -") + row->Switch);
      break;  // the value took the rest of the argument
    }
  }
  return options;
}

}  // namespace nk::options

namespace nk::options {

Wide_String Decode_Utf8(std::string_view bytes, std::string_view what) {
  if (const auto at = text::Invalid_Utf8_At(bytes)) {
    throw Text_Conversion_Error(std::string(what) + ": not valid UTF-8 at byte " +
                                std::to_string(*at));
  }
  return text::Decode_Utf8(bytes);
}

}  // namespace nk::options
