// What the modes (tty.cpp) and the signal handlers (signals.cpp) share. The saved modes
// are written once by Install, before any other thread exists; the rest is atomic: the
// handlers read all of it.
#pragma once

#include <termios.h>

#include <atomic>

#include "terminal/tty.hpp"

namespace nk::main::tty::state {

extern termios saved_modes;
extern bool have_saved_modes;
// Raw mode is held by the key loop; children are started by another thread, which
// must know whether to take raw mode back afterwards.
extern std::atomic<bool> raw_held;
extern std::atomic<Keyboard> held_keyboard;
// Set while Cooked_Mode is alive: a stop then belongs to the program, and the bound on the
// ending waits for it.
extern std::atomic<bool> program_running;

// The start-up modes back. Async-signal-safe.
void Restore_Saved(int when = TCSADRAIN);
// The mode of `keyboard`; under XTERM_KEYS, the cursor keys back in normal mode too.
// Async-signal-safe with TCSANOW.
void Set_Raw(Keyboard keyboard, int when = TCSADRAIN);

}  // namespace nk::main::tty::state
