#include "run/total_line.hpp"

#include "nk-shared.hpp"

namespace nk::main {

bool Change_Total(std::string_view line, std::ostream& out) {
  try {
    const shared::Hundredths value = shared::To_Hundredths(line);
    // The value alone must lie in range too, not only the sum: "+999999999" on a
    // negative total would otherwise be accepted.
    if (value < shared::Total_First || value > shared::Total_Last) {
      throw shared::Range_Error("value out of range");
    }
    shared::Add_To_Total_Sum(value);
    return true;
  } catch (const shared::Conversion_Error&) {
  } catch (const shared::Range_Error&) {
  } catch (const shared::File_Error& error) {
    // Not the user's typing: name the file and the system's reason instead.
    out << error.what() << '\n';
    return false;
  }
  out << "-: error\n";
  return false;
}

}  // namespace nk::main
