// Replacing the first word of a command line by the text of an alias.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nk-shell.hpp"

namespace nk::shell {

// The first word as alias lookup sees it: the text before the first blank when a blank
// comes before the last non-blank character, else the line without trailing blanks.
std::string_view Alias_Word(std::string_view line);

// The line rebuilt from the first alias (in definition order) named exactly like its
// first word, with every double quote removed; nullopt when no alias matches.
std::optional<std::string> Substitute_Alias(std::string_view line, const Attribut_Table& aliases);

}  // namespace nk::shell
