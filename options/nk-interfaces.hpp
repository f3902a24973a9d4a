// nk::interfaces: the settings of a run. Main_Interface parses the command line, reads
// the configuration file if there is one, and merges the command line over it: an option
// is set when either gives it, and its value is the command line's when given there.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "nk-options.hpp"
#include "nk-parameters.hpp"

namespace nk::interfaces {

using parameters::Option_Kind;
using parameters::Parameter_Array;
using parameters::Parameter_Record;

// The name read from the working directory when -F is not given.
inline constexpr const char* Default_Configuration_File = ".config_file";

// Copies presence and values of `options` into `table`'s records, CONFIG_FILENAME to
// TOTAL; an option not present becomes unset even if it was set before.
void Apply_Options(Parameter_Array& table, const options::Option_Array& options);

// A copy of `file_parameters` (sharing its records) with the file `name` applied.
Parameter_Array Load_Configuration(const std::string& name, Parameter_Array& file_parameters);

class Interface_Record {
 public:
  Interface_Record();

  // Fills the table in use from `arguments` (program name excluded) and the
  // configuration file. Any error is rethrown with the line "Other error in
  // initialization of Main_Interface." added under its message.
  void Initialize(std::span<const std::string> arguments);
  // A copy of the option's record; std::out_of_range for NONE or before Initialize.
  Parameter_Record Get_Parameter(Option_Kind option) const;
  // The ten lines of help.
  void Put_Help(std::ostream& out) const;

 private:
  Parameter_Array command_line_parameters_;
  Parameter_Array file_parameters_;
  Parameter_Array parameters_{};  // the table in use
};

}  // namespace nk::interfaces
