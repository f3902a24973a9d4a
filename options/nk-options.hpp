// nk::options: the switches of the command line and the lines of a configuration file,
// turned into an Option_Array (which options were seen, and the last value of each).
//
// Command line (program name excluded), left to right:
//   - an argument not starting with '-' is ignored;
//   - "-hvt": letters of switches without a value may be grouped;
//   - "-a12.5" or "-a 12.5": a value switch takes the rest of its argument, else the whole
//     next argument whatever it starts with ("-F -t" names the file "-t");
//   - a switch given again keeps the last value;
//   - "--anything", a lone "-" and an unknown letter are invalid switches.
// Configuration file, one option per line: the first character is a switch letter, the
// rest of the line (untrimmed) its value; lines starting with any other character are
// skipped; an empty line is an error, except a last one that only ends the file. A line
// ends with a line feed or a carriage return and line feed; a UTF-8 byte order mark at
// the start of the file is skipped; a line longer than 64 KiB is an error.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "nk-errors.hpp"
#include "nk-parameters.hpp"

namespace nk::options {

using parameters::Option_Kind;
using parameters::Wide_String;

// An unknown or malformed switch.
class Invalid_Switch : public errors::Startup_Error {
 public:
  explicit Invalid_Switch(std::string message)
      : Startup_Error(std::move(message), errors::Usage_Status) {}
};
// Bytes that are not UTF-8, in an option value or in a configuration file.
class Text_Conversion_Error : public errors::Startup_Error {
 public:
  explicit Text_Conversion_Error(std::string message)
      : Startup_Error(std::move(message), errors::Usage_Status) {}
};
// A configuration file that breaks the line rules (an empty line, a value letter alone).
class Configuration_Error : public errors::Startup_Error {
 public:
  explicit Configuration_Error(std::string message)
      : Startup_Error(std::move(message), errors::Usage_Status) {}
};
// A configuration file that cannot be opened or read.
class File_Open_Error : public errors::Startup_Error {
 public:
  explicit File_Open_Error(std::string message)
      : Startup_Error(std::move(message), errors::File_Status) {}
};

struct Option_Tagged_Type {
  bool Has_Value = false;
  bool Present = false;
  std::optional<Wide_String> Value;  // the last value seen
};

// One object per Option_Kind, slot NONE included (never marked).
using Option_Array = std::array<Option_Tagged_Type, parameters::Option_Count>;

// Nine unmarked objects, Has_Value as the option table says.
Option_Array New_Option_Array();

// UTF-8 bytes to characters; Text_Conversion_Error naming `what` for any byte that is
// not well-formed UTF-8.
Wide_String Decode_Utf8(std::string_view bytes, std::string_view what);

// Marks the options of `arguments`. Throws Invalid_Switch ("Invalid Switch " and the
// switch as written, its dash included), errors::Spec_Error ("No parameter for" and the
// letter), or Text_Conversion_Error for a value that is not UTF-8. Values are stored as
// given: no number conversion happens here.
Option_Array Parse_Command_Line(std::span<const std::string> arguments);

// The options of a configuration file's content; `name` only labels the errors
// (Configuration_Error, Text_Conversion_Error).
Option_Array Parse_Configuration(std::string_view content, std::string_view name);
// Reads the file `name` (bytes, relative to the working directory) and parses it, in
// bounded memory; also throws File_Open_Error, for a file that is neither a regular file
// nor a pipe too.
Option_Array Read_Configuration_File(const std::string& name);

}  // namespace nk::options
