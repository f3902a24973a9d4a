#include <sys/stat.h>

#include <stdexcept>

#include "nk-interfaces.hpp"

namespace nk::interfaces {
namespace {

using parameters::Slot;

bool Is_Regular_File(const char* name) {
  struct stat status {};
  return ::stat(name, &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

void Apply_Options(Parameter_Array& table, const options::Option_Array& options) {
  for (const auto& row : parameters::Option_Table) {
    auto& record = *table.at(Slot(row.Option));
    const auto& option = options[Slot(row.Option)];
    record.Set = option.Present;
    if (record.Has_Value && option.Present) {
      record.Value = option.Value.value();  // a present value option always has one
    }
  }
}

Parameter_Array Load_Configuration(const std::string& name, Parameter_Array& file_parameters) {
  Parameter_Array table = file_parameters;
  Apply_Options(table, options::Read_Configuration_File(name));
  return table;
}

Interface_Record::Interface_Record()
    : command_line_parameters_(parameters::New_Parameter_Array()),
      file_parameters_(parameters::New_Parameter_Array()) {}

void Interface_Record::Initialize(std::span<const std::string> arguments) {
  try {
    const auto options = options::Parse_Command_Line(arguments);
    const auto& config = options[Slot(Option_Kind::CONFIG_FILENAME)];
    if (config.Present) {
      // UTF-8 as typed, so a name with accents names the file the user sees.
      parameters_ = Load_Configuration(text::Encode_Utf8(*config.Value), file_parameters_);
    } else if (Is_Regular_File(Default_Configuration_File)) {
      parameters_ = Load_Configuration(Default_Configuration_File, file_parameters_);
    } else {
      parameters_ = command_line_parameters_;
    }
    Apply_Options(command_line_parameters_, options);
    for (const auto& row : parameters::Option_Table) {
      const auto& given = *command_line_parameters_[Slot(row.Option)];
      if (given.Set) {
        *parameters_[Slot(row.Option)] = given;
      }
    }
  } catch (errors::Startup_Error& error) {
    error.Add_Line("Other error in initialization of Main_Interface.");
    throw;
  }
}

Parameter_Record Interface_Record::Get_Parameter(Option_Kind option) const {
  const auto& record = parameters_.at(Slot(option));
  if (!record) {
    throw std::out_of_range("no parameter record for " + std::string(parameters::Image(option)));
  }
  return *record;
}

void Interface_Record::Put_Help(std::ostream& out) const {
  out << "Help: nelk [ Options [ Parameters ] ]\n"
      << "Help: Options : \n";
  // Options without a value end their line with " => ": the final blank is part of it.
  for (const auto& row : parameters::Option_Table) {
    out << '-' << row.Switch << " : " << row.Description << " => " << row.Type_Name << '\n';
  }
}

}  // namespace nk::interfaces
