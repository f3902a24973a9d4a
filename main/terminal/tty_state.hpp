// What the modes, the signal handlers and the key reader share. The saved modes and the wake
// pipe are written once by Install, before any other thread; the rest is atomic for the handlers.
#pragma once

#include <termios.h>

#include <atomic>
#include <chrono>

#include "terminal/tty.hpp"

namespace nk::main::tty::state {
extern termios saved_modes;
extern bool have_saved_modes;
// Asked once at start-up: isatty is no function for a signal handler.
extern bool output_is_terminal;
// nelk's process group was the terminal's foreground at start-up.
extern bool had_foreground;
// Held by the key loop; the thread that starts children takes the mode back after them.
extern std::atomic<bool> keyboard_held;
extern std::atomic<Keyboard> held_keyboard;
// Set while Cooked_Mode is alive: a stop then belongs to the program.
extern std::atomic<bool> program_running;

// The handlers write a byte here to wake a key read waiting in poll; -1 without one.
extern int wake_pipe[2];
// The ending signal noted while the key loop runs, else 0; atomic: any thread may run the
// handler.
extern std::atomic<int> termination_signal;
// Set by SIGTSTP's handler once continued at the prompt.
extern std::atomic<bool> continued;

// The start-up modes back. Async-signal-safe. TCSANOW: waiting for output to drain would
// hang the way out on a stopped terminal (Control-S, a flow-controlled line).
void Restore_Saved(int when = TCSANOW);
// Takes the terminal's foreground back from a program; false when that failed (it is gone).
bool Take_Foreground();
// The mode of `keyboard`. Async-signal-safe with TCSANOW.
void Set_Keyboard(Keyboard keyboard, int when = TCSADRAIN);
// Returns once `span` has passed with no program running: a program running at its end
// is waited for, and `span` starts again when it ends. Not for a signal handler.
void Wait_Outside_Programs(std::chrono::seconds span);
}  // namespace nk::main::tty::state
