// Finding the program file that a command name stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nk::main {

// True for a regular file that this process may execute.
bool Is_Executable_File(const std::string& path);

// The path of the program `name` on the colon-separated directory list `path_list`: the
// first directory holding an executable regular file of that name, an empty element
// meaning the current directory (then "./name"). A name containing "/" is not searched:
// it is returned as given when it names an executable regular file. nullopt otherwise,
// also for the empty name.
std::optional<std::string> Search_Path(std::string_view name, std::string_view path_list);

}  // namespace nk::main
