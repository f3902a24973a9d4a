// The result records that a completion hands to the terminal thread.
#include "nk-shell.hpp"

namespace nk::shell {

std::unique_ptr<Spawn_Result_Record> New_Spawn_Result() {
  auto result = std::make_unique<Spawn_Result_Record>();
  // The empty first element lets the caller print the list with a blank line in front.
  result->Found_Names = std::make_unique<Wide_String_Array>(1);
  return result;
}

}  // namespace nk::shell
