// The only unit that touches the terminal modes (tty.cpp) and the signal dispositions
// (signals.cpp). Two sets of modes: as found at start-up (given back on every way out, every
// stop and to child programs), and the shell's own, held only while keys are read.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace nk::main::tty {

// Saves the start-up modes and installs the handlers: every signal whose default ends the
// process (HUP, INT, QUIT, PIPE, ALRM, TERM, USR1, USR2, the crashes) gives the modes back
// first; SIGTSTP gives them back until SIGCONT; SIGWINCH is noted for Take_Window_Change.
// INT, QUIT, ALRM, USR1 and USR2 found ignored stay so (a job started in the background).
// Call once, first in main, before any thread: it also blocks SIGCHLD for every thread.
void Install();

// Gives the calling thread the stack the crash handler runs on, so that a stack overflow
// still restores the modes. Install does it for its thread; every later thread calls it.
void Take_Crash_Stack();

// The program that runs now, else 0: a hang-up meanwhile sends it SIGHUP and SIGCONT, as
// a shell does to its jobs, with everything in nelk's own process group.
void Note_Program(pid_t program);

// The process group of a sampler run while it runs, else 0: killed when nelk is forced
// to end, so that nothing of it is left running.
void Note_Sampler_Group(pid_t group);

// Unblocks SIGCHLD in the calling thread, the sampling one: the kernel then drops each
// child's SIGCHLD there instead of waking an idle thread for it on every redraw.
void Take_Child_Signals();

// How the key loop takes the keyboard.
enum class Keyboard : std::uint8_t {
  KEYS,            // raw: one byte at a time, unechoed, signal keys off (LINUX)
  XTERM_KEYS,      // as KEYS, and the cursor keys put in normal mode (XTERM)
  LINES_UNECHOED,  // canonical mode and signal keys kept, echo off (NONE)
};

// While alive, the ending signals end the key loop (Read_Byte answers nullopt) and so the
// run, through Quit, once a running command has ended. When that orderly ending has not
// finished 1 s after the signal or after the program then running (a redraw blocked on a
// full pipe, or one waiting for a sampler), nelk is ended of the signal, modes restored and
// the sampler's group killed. Outside it they end the process at once, the same way.
class Key_Loop_Signals {
 public:
  Key_Loop_Signals();
  ~Key_Loop_Signals();
  Key_Loop_Signals(const Key_Loop_Signals&) = delete;
  Key_Loop_Signals& operator=(const Key_Loop_Signals&) = delete;
};

// The keyboard's mode while alive; nothing when standard input is not a terminal. Output
// processing stays untouched. XTERM_KEYS also turns off, in one write, the input modes that
// change what keys and pastes send (application cursor keys and keypad, bracketed paste,
// mouse reporting) when standard output is a terminal: now, and after every program. Under
// LINES_UNECHOED Control-D at the start of a line is the end of input, and Control-C or
// Control-\ ends the run as SIGTERM does. Stopped (SIGTSTP) at the prompt, nelk gives the
// start-up modes back, and takes this mode again when continued.
class Keyboard_Mode {
 public:
  explicit Keyboard_Mode(Keyboard keyboard = Keyboard::KEYS);
  ~Keyboard_Mode();
  Keyboard_Mode(const Keyboard_Mode&) = delete;
  Keyboard_Mode& operator=(const Keyboard_Mode&) = delete;
};

// The start-up modes while a child program runs, the held Keyboard_Mode again afterwards;
// SIGINT and SIGQUIT are ignored by the shell meanwhile. One at a time: only the terminal
// thread starts children. Afterwards nelk also takes back what a program may have kept:
// the terminal's foreground (when nelk had it at start-up) and blocking descriptors 0-2.
class Cooked_Mode {
 public:
  Cooked_Mode();
  ~Cooked_Mode();
  Cooked_Mode(const Cooked_Mode&) = delete;
  Cooked_Mode& operator=(const Cooked_Mode&) = delete;
};

// Blocks for the next byte of standard input; nullopt at the end of input and when an
// ending signal arrived (Termination_Signal() names it). A read refused (EIO) because
// another process group holds the terminal takes the foreground back and reads again.
// `on_continue` runs when nelk was stopped and continued meanwhile: the screen may hold
// anything now.
std::optional<unsigned char> Read_Byte(const std::function<void()>& on_continue = {});
// 0, or the signal that ended reading.
int Termination_Signal();

// The width in columns of the terminal on `fd`; nullopt when it tells none.
std::optional<std::size_t> Columns(int fd);
// True once after each SIGWINCH (the window's size may have changed): read Columns again.
bool Take_Window_Change();

}  // namespace nk::main::tty
