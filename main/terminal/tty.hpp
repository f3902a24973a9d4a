// The only unit that touches the terminal modes and the signal dispositions. Three sets
// of modes: as found at start-up (given back on every way out and to child programs),
// and the shell's raw mode, held only while keys are read.
#pragma once

#include <optional>

namespace nk::main::tty {

// Saves the modes found at start-up and installs the handlers that give them back on
// SIGTERM, SIGHUP and fatal signals. Call once, first thing in main, before any thread.
// Also blocks SIGCHLD in the calling thread, and so in every thread started after it.
void Install();

// Unblocks SIGCHLD in the calling thread. The one thread that samples twice a second
// calls it: the kernel then delivers (and drops) each child's SIGCHLD there instead of
// waking an idle thread for it on every redraw.
void Take_Child_Signals();

// While alive, SIGTERM and SIGHUP end the key loop (Read_Byte answers nullopt) and so
// the run, through Quit, once a running command has ended. Outside it they end the
// process at once, start-up modes restored, dying of the signal.
class Key_Loop_Signals {
 public:
  Key_Loop_Signals();
  ~Key_Loop_Signals();
  Key_Loop_Signals(const Key_Loop_Signals&) = delete;
  Key_Loop_Signals& operator=(const Key_Loop_Signals&) = delete;
};

// Raw mode while alive: no echo, no canonical mode, no signal keys, one byte at a time,
// output processing untouched. Does nothing when standard input is not a terminal.
class Raw_Mode {
 public:
  Raw_Mode();
  ~Raw_Mode();
  Raw_Mode(const Raw_Mode&) = delete;
  Raw_Mode& operator=(const Raw_Mode&) = delete;
};

// The start-up modes while alive (a child program runs), raw mode again afterwards when
// it was held; SIGINT and SIGQUIT are ignored by the shell meanwhile. One at a time: only
// the terminal thread starts children.
class Cooked_Mode {
 public:
  Cooked_Mode();
  ~Cooked_Mode();
  Cooked_Mode(const Cooked_Mode&) = delete;
  Cooked_Mode& operator=(const Cooked_Mode&) = delete;
};

// Blocks for the next byte of standard input, retrying on EINTR. nullopt at the end of
// input and when a termination signal arrived (then Termination_Signal() names it).
std::optional<unsigned char> Read_Byte();
// 0, or the signal that ended reading.
int Termination_Signal();

}  // namespace nk::main::tty
