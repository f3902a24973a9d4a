// The text handed to "/usr/bin/sh -c" for an external command line.
#pragma once

#include <string>
#include <string_view>

namespace nk::shell {

// `full_path` (quoted only when the shell would misread it) standing for the program
// name `name` at the head of `line`, followed by one blank and the rest of the line
// after the blank that ends the name; the path alone when the line is the name alone.
std::string Command_Text(std::string_view full_path, std::string_view name, std::string_view line);

}  // namespace nk::shell
