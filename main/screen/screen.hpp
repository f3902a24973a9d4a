#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "run/shell_state.hpp"
#include "screen/cpu_process.hpp"
#include "screen/frame_owner.hpp"

namespace nk::main {

// The longest a redraw waits for the total file's lock held by another process: an update
// holds it for microseconds, and each key waits for its redraw.
inline constexpr std::chrono::milliseconds Total_Lock_Wait{100};

// "screen": draws the prompt and the line in one write, under Line_Lock. Its requests are
// the sample a frame uses; none is the stop.
class Screen : public Request_Server<std::optional<Sample_Use>> {
 public:
  Screen(Shell_State& state, Cpu_Process& cpu, int output_fd, bool rewraps)
      : Request_Server("screen", std::nullopt),
        state_(state),
        cpu_(cpu),
        output_fd_(output_fd),
        rewraps_(rewraps) {}
  ~Screen() {
    Stop();
    Join();
  }

  void Start() {
    Launch([this](std::latch& started) { Serve(started); });
  }
  // Redraws; returns when the frame is written. The caller must not hold Line_Lock.
  void Refresh(Sample_Use use = Sample_Use::NEW) { inbox_.Call(use, Waits::BODY); }

 private:
  void Serve(std::latch& started);
  void Draw(Sample_Use use);
  std::string Total_Image();

  Shell_State& state_;
  Cpu_Process& cpu_;
  int output_fd_;
  std::string usage_{No_Usage};  // the last figure received; this and below: the thread's own
  // Read at the first redraw and after a SIGWINCH; nullopt when the output is no terminal.
  std::optional<std::size_t> columns_;
  bool columns_read_ = false;
  bool rewraps_;             // a shrink first clears the rows the terminal wrapped the frame into
  std::string shown_total_;  // the total's image last read, empty before the first
};

}  // namespace nk::main
