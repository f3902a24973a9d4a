// The only unit that touches the terminal modes and the signal dispositions. Two sets of modes:
// the start-up ones (on every way out, every stop, for programs), and the key loop's own.
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

// The program that runs now, else 0: a hang-up meanwhile is passed on to it, as a shell does.
void Note_Program(pid_t program);

// The process group of a running sampler, else 0: killed when nelk is forced to end.
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

// While alive, an ending signal ends the key loop (Read_Byte answers nullopt) and so the
// run, through Quit, after a running program. Unfinished 1 s after the signal or the program
// (a redraw blocked on a full pipe or a sampler), nelk is ended of the signal, as it is at
// once outside the loop: modes restored, the sampler's group killed.
class Key_Loop_Signals {
 public:
  Key_Loop_Signals();
  ~Key_Loop_Signals();
  Key_Loop_Signals(const Key_Loop_Signals&) = delete;
  Key_Loop_Signals& operator=(const Key_Loop_Signals&) = delete;
};

// The keyboard's mode while alive, when standard input is a terminal; output processing
// untouched. XTERM_KEYS also turns off the input modes that change what keys and pastes send
// (cursor keys, keypad, bracketed paste, mouse), now and after every program. Under
// LINES_UNECHOED Control-D ends the input, Control-C and Control-\ the run, as SIGTERM does.
// Stopped at the prompt, nelk gives the start-up modes back until continued.
class Keyboard_Mode {
 public:
  explicit Keyboard_Mode(Keyboard keyboard = Keyboard::KEYS);
  ~Keyboard_Mode();
  Keyboard_Mode(const Keyboard_Mode&) = delete;
  Keyboard_Mode& operator=(const Keyboard_Mode&) = delete;
};

// The start-up modes while a child program runs, SIGINT and SIGQUIT ignored by the shell;
// afterwards the held Keyboard_Mode, the terminal's foreground (when nelk had it at start-up)
// and blocking descriptors 0-2 back. One at a time: only the terminal thread starts children.
class Cooked_Mode {
 public:
  Cooked_Mode();
  ~Cooked_Mode();
  Cooked_Mode(const Cooked_Mode&) = delete;
  Cooked_Mode& operator=(const Cooked_Mode&) = delete;
};

// Blocks for the next byte of standard input; nullopt at the end of input and when an
// ending signal arrived (Termination_Signal() names it). A read refused (EIO) because another
// process group holds the terminal takes the foreground back and reads again. `on_continue`
// runs when nelk was stopped and continued meanwhile: the screen may hold anything now.
std::optional<unsigned char> Read_Byte(const std::function<void()>& on_continue = {});
// 0, or the signal that ended reading.
int Termination_Signal();

// The width in columns of the terminal on `fd`; nullopt when it tells none.
std::optional<std::size_t> Columns(int fd);
// True once after each SIGWINCH (the window's size may have changed): read Columns again.
bool Take_Window_Change();
}  // namespace nk::main::tty
