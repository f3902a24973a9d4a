// nk::parameters: the options the program understands. Option_Table is the one source of
// the switch letters, of whether a switch takes a value, and of the help text; the switch
// scanner, the configuration reader and the help output all read it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "nk-text.hpp"

namespace nk::parameters {

// Option values and file names: decoded UTF-8, one character per element.
using text::Wide_String;

enum class Option_Kind : std::uint8_t {
  NONE,
  CONFIG_FILENAME,
  HELP,
  VERSION,
  TERM_NAME,
  INITIALIZE,
  ADD,
  REMOVE,
  TOTAL
};
inline constexpr std::size_t Option_Count = 9;  // NONE included

// "NONE", "CONFIG_FILENAME", ... "TOTAL".
std::string_view Image(Option_Kind option);

struct Option_Description {
  Option_Kind Option;
  char Switch;
  bool Has_Value;
  std::string_view Description;
  std::string_view Type_Name;  // empty for options without a value
};

// In Option_Kind order, CONFIG_FILENAME to TOTAL. The texts are the help output's words.
inline constexpr std::array<Option_Description, 8> Option_Table = {{
    {Option_Kind::CONFIG_FILENAME, 'F', true, "Configuration filename", "Wide_String"},
    {Option_Kind::HELP, 'h', false, "print this message", ""},
    {Option_Kind::VERSION, 'v', false, "print the version", ""},
    {Option_Kind::TERM_NAME, 'N', true, "Terminal name", "String"},
    {Option_Kind::INITIALIZE, 'i', true, "initiaize total value",
     "fixed from -999999.99 to 999999.99"},
    {Option_Kind::ADD, 'a', true, "Adding value to total", "fixed from -999999.99 to 999999.99"},
    {Option_Kind::REMOVE, 'r', true, "Remove value from total",
     "fixed from -999999.99 to 999999.99"},
    {Option_Kind::TOTAL, 't', false, "print fixed from -999999.99 to 999999.99", ""},
}};

// The table row of a switch letter (case-sensitive); nullptr for any other character.
const Option_Description* Find_Switch(char32_t letter);
// The table row of an option; nullptr for NONE.
const Option_Description* Describe(Option_Kind option);

// What is known about one option once the command line and the configuration file are
// read. Type_Name and Value exist only for options that take a value; Value stays absent
// (which differs from empty) until a value is stored.
struct Parameter_Record {
  bool Has_Value = false;
  std::u32string Switch;
  bool Set = false;
  Option_Kind Option = Option_Kind::NONE;
  std::u32string Description;
  std::optional<std::u32string> Type_Name;
  std::optional<Wide_String> Value;
};

// One record reference per Option_Kind; slot NONE is empty. Copying a table shares its
// records, as the merge of the command line over a configuration file relies on.
using Parameter_Array = std::array<std::shared_ptr<Parameter_Record>, Option_Count>;

// A table of eight new records as Option_Table describes them, none set, no values.
Parameter_Array New_Parameter_Array();

inline std::size_t Slot(Option_Kind option) {
  return static_cast<std::size_t>(option);
}

}  // namespace nk::parameters
