// The Terminal record shared by the main procedure and the terminal thread, and the
// terminal kinds whose keyboards the key loop decodes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nk::main {

enum class Terminal_Kind : std::uint8_t { NONE, LINUX, XTERM };

// Blanks around and letter case ignored; nullopt for anything but the three words.
std::optional<Terminal_Kind> To_Terminal_Kind(std::string_view text);
// The kind TERM names, else NONE. xterm-*, tmux*, screen* and rxvt* count as xterm only
// when NELK_XTERM_FAMILY is 1 (scripts/run sets it); the variable is removed, so the
// programs nelk runs start afresh.
Terminal_Kind Kind_From_Environment();
std::string_view Image(Terminal_Kind kind);

struct Terminal {
  Terminal_Kind Kind = Terminal_Kind::NONE;
  std::string Old_Pwd;  // previous working directory, for cd -
};

}  // namespace nk::main
