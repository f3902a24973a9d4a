// What the modes (tty.cpp), the signal handlers (signals.cpp) and the key reader
// (key_reader.cpp) share. The saved modes and the wake pipe are written once by Install,
// before any other thread exists; the rest is atomic: the handlers read all of it.
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
// Held by the key loop; children are started by another thread, which must know whether
// to take the keyboard's mode back afterwards.
extern std::atomic<bool> keyboard_held;
extern std::atomic<Keyboard> held_keyboard;
// Set while Cooked_Mode is alive: a stop then belongs to the program.
extern std::atomic<bool> program_running;

// The pipe the handlers write a byte to, so that a key read waiting in poll wakes up;
// -1 without one.
extern int wake_pipe[2];
// The ending signal noted while the key loop runs, else 0. Atomic rather than
// sig_atomic_t: the handler may run on any of the threads.
extern std::atomic<int> termination_signal;
// Set by SIGTSTP's handler once continued at the prompt.
extern std::atomic<bool> continued;

// The start-up modes back. Async-signal-safe. TCSANOW: waiting for output to drain would
// hang the way out on a stopped terminal (Control-S, a flow-controlled line).
void Restore_Saved(int when = TCSANOW);
// Makes nelk's process group the terminal's foreground again when a program took it;
// false when that failed (the terminal is gone).
bool Take_Foreground();
// The mode of `keyboard`. Async-signal-safe with TCSANOW.
void Set_Keyboard(Keyboard keyboard, int when = TCSADRAIN);
// Returns once `span` has passed with no program running: a program running at its end
// is waited for, and `span` starts again when it ends. Not for a signal handler.
void Wait_Outside_Programs(std::chrono::seconds span);

}  // namespace nk::main::tty::state
