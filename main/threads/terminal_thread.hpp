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
#include <string>
#include <string_view>

#include "nelk.hpp"
#include "run/shell_state.hpp"
#include "screen/cpu_process.hpp"
#include "screen/deamon.hpp"
#include "screen/frame_owner.hpp"
#include "screen/screen.hpp"
#include "sync/request_server.hpp"
#include "terminal/terminal_requests.hpp"

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
  // Serves one request; what it did to what the screen should show.
  Served Serve(const Terminal_Request& request);
  void Serve_Key(const Terminal_Request& request);
  void Append(std::u32string_view characters);
  void Backspace();
  void Complete(bool input_waiting);
  void Enter();
  void Clear_Screen();
  Served History_Back();
  Served History_Forward();
  // Replaces the line under Line_Lock.
  void Show(std::u32string line);
  void Draw(Sample_Use use);
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
  std::exception_ptr start_failure_;  // what kept Run from starting every thread
  Frame_Owner frames_;
};

}  // namespace nk::main
