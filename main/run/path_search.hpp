// Finding the program file that a command name stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nk::main {

// The first directory of the colon-separated `path_list` holding an executable regular
// file `name`, an empty element meaning the current one ("./name"). A name with a "/" is
// returned as given when it names such a file. nullopt otherwise, and for the empty name.
std::optional<std::string> Search_Path(std::string_view name, std::string_view path_list);

}  // namespace nk::main
