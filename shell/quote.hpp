// Quoting for texts handed to the command interpreter: the one rule for program paths,
// completed file names and the sampler's command.
#pragma once

#include <string>
#include <string_view>

namespace nk::shell {

// The characters that sh may read as something other than themselves in an unquoted
// word: blank, tab, line feed, both quotes, backslash, "$", backquote, ";", "&", "|",
// "<", ">", "(", ")", "*", "?", "[", "#", "~", "=", "%", "{", "}".
inline constexpr std::string_view Shell_Special = " \t\n'\"\\$`;&|<>()*?[#~=%{}";

// `text` as one single-quoted word: no character in it is special to the shell; a "'"
// inside is written '\''.
std::string Shell_Quote(std::string_view text);
// `text` unchanged when it holds no Shell_Special character (any other byte, non-ASCII
// ones included, stands for itself), else Shell_Quote(text). The empty text is quoted,
// so that it stays one word.
std::string Quote_If_Special(std::string_view text);

}  // namespace nk::shell
