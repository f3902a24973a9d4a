#include "run/total_line.hpp"

#include "nk-shared.hpp"

namespace nk::main {

bool Change_Total(std::string_view line, std::ostream& out) {
  const auto bad_value = [&out] {
    out << "-: error\n";
    return false;
  };
  shared::Hundredths value = 0;
  try {
    value = shared::To_Hundredths(line);
  } catch (const shared::Conversion_Error&) {
    return bad_value();
  }
  // The value alone must lie in range too, not only the sum: "+999999999" on a negative
  // total would otherwise be accepted.
  if (value < shared::Total_First || value > shared::Total_Last) {
    return bad_value();
  }
  try {
    shared::Add_To_Total_Sum(value);
  } catch (const shared::Range_Error&) {
    return bad_value();
  } catch (const shared::File_Error& error) {
    // Not the user's typing: name the file and the system's reason instead.
    out << error.what() << '\n';
    return false;
  }
  return true;
}

}  // namespace nk::main
