// The terminal thread, "terminal.proc": owner of the line, the history, the tables and
// the three background threads; it serves the key loop's requests one at a time.
// Writes besides the frames: the bell at either end of the history, a line end before a
// command runs, the completion listing, and one line for an error met serving a key.
#pragma once

#include <unistd.h>

#include <chrono>
#include <exception>
#include <memory>

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

  // Returns once every thread runs; throws what kept one from starting.
  void Start() {
    Launch([this](std::latch& started) { Run(started); });
    if (start_failure_) {
      std::rethrow_exception(start_failure_);
    }
  }
  // Returns when the request is accepted, or done for Quit, Key and the history moves.
  // False once the thread has quit.
  bool Send(Terminal_Request request);
  // The thread's state; valid from Start on. Line and Previous_Length only under Line_Lock.
  Shell_State& State() { return *state_; }

 private:
  void Run(std::latch& started);
  void End_Workers();
  // What serving did to what the screen should show.
  Served Serve(const Terminal_Request& request);
  void Complete(bool input_waiting);
  void Enter();
  void Clear_Screen();
  Served History_Step(bool back);
  // Before the line shrinks, under Line_Lock: the next frame blanks what may be shown.
  void Note_Drawn_Length();

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
