// The terminal thread, "terminal.proc": owner of the line, the history, the tables and
// the three background threads. It serves the fifteen requests of the key loop one at a
// time; what a key does to the line happens here and nowhere else.
//
// Writes to the terminal, besides the frames of screen: the bell (U+0007) at either end
// of the history, a line end before a command runs, the completion listing, and one line
// for an error met while serving a key.
#pragma once

#include <unistd.h>

#include <chrono>
#include <exception>
#include <memory>

#include "nelk.hpp"
#include "screen/cpu_process.hpp"
#include "screen/deamon.hpp"
#include "screen/screen.hpp"
#include "threads/request_server.hpp"
#include "threads/shell_state.hpp"
#include "threads/terminal_requests.hpp"

namespace nk::main {

struct Terminal_Settings {
  int Output_Fd = STDOUT_FILENO;                 // frames, bells, listings
  std::chrono::milliseconds Redraw_Period{500};  // deamon's wait
  bool Rewraps = false;                          // the terminal re-wraps rows on a shrink
};

// Stop is Quit; Join returns once the thread and its three background threads have ended.
class Terminal_Thread : public Request_Server<Terminal_Request> {
 public:
  explicit Terminal_Thread(Terminal& terminal, Terminal_Settings settings = {})
      : Request_Server("terminal.proc", {Request_Kind::Quit}, Waits::BODY),
        terminal_(terminal),
        settings_(settings) {}
  // Quits, if nobody did, and waits for all four threads.
  ~Terminal_Thread() {
    Stop();
    Join();
  }

  // Starts the thread; returns once its locks, tables and background threads exist.
  // Throws what kept a thread from starting (std::system_error, std::bad_alloc).
  void Start() {
    Launch([this](std::latch& started) { Run(started); });
    if (start_failure_) {
      std::rethrow_exception(start_failure_);
    }
  }
  // Sends one request; returns when it is accepted, or done for Quit, Key and the two
  // history moves. False once the thread has quit.
  bool Send(Terminal_Request request);
  // The thread's state; valid from Start on. Line and Previous_Length only under Line_Lock.
  Shell_State& State() { return *state_; }

 private:
  void Run(std::latch& started);
  void Stop_Workers();
  void Join_Workers();
  // Serves one request; true when screen is to redraw once the caller is released.
  bool Serve(const Terminal_Request& request);
  void Serve_Key(char32_t c);
  void Append(char32_t c);
  void Backspace();
  void Complete();
  void Enter();
  void Clear_Screen();
  void History_Back();
  void History_Forward();
  // Replaces the line under Line_Lock, then redraws.
  void Show(std::u32string line);
  // Before the line shrinks, under Line_Lock: the next frame blanks what may be shown.
  void Note_Drawn_Length();
  void Bell();
  // One line, on a line of its own, under Line_Lock.
  void Report(const std::string& text);

  Terminal& terminal_;
  Terminal_Settings settings_;
  std::unique_ptr<Shell_State> state_;
  std::unique_ptr<Cpu_Process> cpu_;
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<Deamon> deamon_;
  // The last request drew the screen, so the Refresh that the key loop sends before its
  // next read has nothing new to show.
  bool fresh_ = false;
  std::exception_ptr start_failure_;  // what kept Run from starting every thread
  bool key_loop_started_ = false;     // the periodic redraw waits for the first request
  bool typed_ahead_ = false;          // the request being served leaves its redraw
  bool owed_ = false;                 // a redraw was left: the screen shows an older line
};

}  // namespace nk::main
