// When cpu_process runs the sampler. A run killed at Sampler_Limit starts a rest in which
// frames keep the last usage, so typing stays immediate with a hung sampler (a stuck NFS
// home). After it, one run that no frame waits for: ended, frames wait for runs again;
// past the limit, it is killed and the rest starts again.
#pragma once

#include <chrono>
#include <cstdint>

namespace nk::main {

// Four redraw periods, where a working sampler takes a few milliseconds.
inline constexpr std::chrono::milliseconds Sampler_Limit{2000};
inline constexpr std::chrono::seconds Sampler_Rest{10};

class Sampler_Schedule {
 public:
  using Time = std::chrono::steady_clock::time_point;
  enum class State : std::uint8_t { WAITING, RESTING, TRYING };
  // Run and wait; keep the last usage; start a run and wait for nothing; look whether it
  // ended; the same, and kill it if not.
  enum class Step : std::uint8_t { RUN, KEEP, START, LOOK, LOOK_OR_KILL };

  Step Next(Time now);     // a frame's
  void Killed(Time now) {  // at the limit
    state_ = State::RESTING;
    since_ = now;
  }
  // The run started apart has ended, or could not start.
  void Ended() { state_ = State::WAITING; }
  State Current() const { return state_; }

 private:
  State state_ = State::WAITING;
  Time since_{};  // of the rest, or of the run tried
};

}  // namespace nk::main
