// Running a finished line: changes of the total, builtins, external commands.
#pragma once

#include <functional>

#include "run/shell_state.hpp"

namespace nk::main {

// Runs the line in `state.Line` (not empty). The caller has paused the periodic redraw,
// holds Line_Lock and has written the line end; this does the rest up to and including
// the history and the emptying of the line. Reports every error as one line and never
// throws. After a program, on a terminal, leaves the cursor at the start of a row that
// the next frame may draw over (Partial_Line_Guard).
void Execute_Line(Shell_State& state);

// Calls `run`, which runs a program on the terminal, with the terminal as nelk found it;
// then takes back what the program may have kept (Cooked_Mode) and leaves the cursor at
// the start of a row of its own (Partial_Line_Guard). What `run` returns.
int Run_On_Terminal(const std::function<int()>& run);

}  // namespace nk::main
