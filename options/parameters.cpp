#include <algorithm>

#include "nk-parameters.hpp"
#include "nk-text.hpp"

namespace nk::parameters {
std::string_view Image(Option_Kind option) {
  static constexpr std::array<std::string_view, Option_Count> names = {
      "NONE", "CONFIG_FILENAME", "HELP", "VERSION", "TERM_NAME", "INITIALIZE",
      "ADD",  "REMOVE",          "TOTAL"};
  return names.at(Slot(option));
}

const Option_Description* Find_Switch(char32_t letter) {
  const auto row = std::ranges::find_if(
      Option_Table, [letter](const Option_Description& d) { return char32_t(d.Switch) == letter; });
  return row == Option_Table.end() ? nullptr : &*row;
}

const Option_Description* Describe(Option_Kind option) {
  const auto row = std::ranges::find(Option_Table, option, &Option_Description::Option);
  return row == Option_Table.end() ? nullptr : &*row;
}

Parameter_Array New_Parameter_Array() {
  Parameter_Array table;
  for (const auto& row : Option_Table) {
    auto record = std::make_shared<Parameter_Record>();
    record->Has_Value = row.Has_Value;
    record->Switch = std::u32string(1, char32_t(row.Switch));
    record->Option = row.Option;
    record->Description = text::Widen(row.Description);
    if (row.Has_Value) {
      record->Type_Name = text::Widen(row.Type_Name);
    }
    table[Slot(row.Option)] = std::move(record);
  }
  return table;
}

}  // namespace nk::parameters
