// Running a finished line: changes of the total, builtins, external commands.
#pragma once

#include "threads/shell_state.hpp"

namespace nk::main {

// Runs the line in `state.Line` (not empty). The caller has paused the periodic redraw,
// holds Line_Lock and has written the line end; this does the rest up to and including
// the history and the emptying of the line. Reports every error as one line and never
// throws. After a program, on a terminal, leaves the cursor at the start of a row that
// the next frame may draw over (Partial_Line_Guard).
void Execute_Line(Shell_State& state);

}  // namespace nk::main
