// Quoting for texts handed to the command interpreter.
#pragma once

#include <string>
#include <string_view>

namespace nk::shell {

// `text` as one single-quoted word: no character in it is special to the shell.
std::string Shell_Quote(std::string_view text);
// `text` unchanged when it holds nothing special to the shell, else Shell_Quote(text).
std::string Quote_If_Special(std::string_view text);

}  // namespace nk::shell
