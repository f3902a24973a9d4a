#include "nk-options.hpp"

namespace nk::options {

Option_Array New_Option_Array() {
  Option_Array options;
  for (const auto& row : parameters::Option_Table) {
    options[parameters::Slot(row.Option)].Has_Value = row.Has_Value;
  }
  return options;
}

}  // namespace nk::options
