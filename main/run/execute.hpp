// Running a finished line: changes of the total, builtins, external commands.
#pragma once

#include <functional>

#include "run/shell_state.hpp"

namespace nk::main {

// Runs `state.Line`. The caller has paused the periodic redraw, holds Line_Lock and has
// written the line end; this reports every error as one line, never throws, and records
// and empties the line.
void Execute_Line(Shell_State& state);

// Calls `run`, a program on the terminal, with the terminal as nelk found it; then takes
// back what the program may have kept (Cooked_Mode) and leaves the cursor at the start of
// a row of its own (Partial_Line_Guard). What `run` returns.
int Run_On_Terminal(const std::function<int()>& run);

}  // namespace nk::main
