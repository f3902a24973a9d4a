// When cpu_process runs the sampler. A run that meets Sampler_Limit is killed and starts a
// rest: frames in the next Sampler_Rest start no run and keep the last usage, so typing
// stays immediate with a sampler that hangs (a stuck NFS home). The first frame after the
// rest starts one run that no frame waits for; later frames look at it. One that finds it
// ended goes back to waiting for every run; one that finds it past the limit kills it,
// and the rest starts again.
#pragma once

#include <chrono>
#include <cstdint>

namespace nk::main {

// A sampler still running after this is killed with its process group, and the usage stays
// as it was: four redraw periods, where a working sampler takes a few milliseconds.
inline constexpr std::chrono::milliseconds Sampler_Limit{2000};
inline constexpr std::chrono::seconds Sampler_Rest{10};

class Sampler_Schedule {
 public:
  using Time = std::chrono::steady_clock::time_point;
  enum class State : std::uint8_t { WAITING, RESTING, TRYING };
  // What a frame does: run the sampler and wait for it; keep the last usage; start a run
  // and wait for nothing; look whether the run started has ended; the same, and kill it
  // if it has not.
  enum class Step : std::uint8_t { RUN, KEEP, START, LOOK, LOOK_OR_KILL };

  // The step of the frame at `now`.
  Step Next(Time now);
  // A run was killed at the limit at `now`.
  void Killed(Time now);
  // The run started apart has ended, or could not start.
  void Ended();
  State Current() const { return state_; }

 private:
  State state_ = State::WAITING;
  Time since_{};  // of the rest, or of the run tried
};

}  // namespace nk::main
