#include "nk-interfaces.hpp"

namespace nk::interfaces {

void Interface_Record::Put_Help(std::ostream& out) const {
  out << "Help: nelk [ Options [ Parameters ] ]\n"
      << "Help: Options : \n";
  // Options without a value end their line with " => ": the final blank is part of it.
  for (const auto& row : parameters::Option_Table) {
    out << '-' << row.Switch << " : " << row.Description << " => " << row.Type_Name << '\n';
  }
}

}  // namespace nk::interfaces
