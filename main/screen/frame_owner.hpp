// When the terminal thread draws a frame, leaves one owed, or lets a frame take a sample
// already started: decided here only. A request served with input waiting (a paste) owes
// its frame to the first one served without, so a paste costs one frame, not one per
// character: the key loop follows such a request with another before it blocks on a read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace nk::main {

enum class Frame_State : std::uint8_t {
  HELD,   // no request yet: a frame would land in what the start-up options print
  DRAWN,  // the request just served drew: the Refresh after it has nothing new to show
  DUE,    // the screen shows the line, and a Refresh draws (the clock, the usage move on)
  OWED,   // a change was left undrawn for input already waiting: the screen is behind
};

// What serving a request did to what the screen should show.
enum class Served : std::uint8_t {
  CHANGE,   // a key or a history move: the line or the screen changed
  REFRESH,  // the key loop asks for the screen to be up to date
  NOTHING,  // a key that does nothing here, a bell
};

// A frame's usage figure: from a sampler run of its own, or the last asked for (a Tab's).
enum class Sample_Use : std::uint8_t { NEW, LAST };

// The terminal thread's; the deamon's frames show the line as it is and change nothing here.
class Frame_Owner {
 public:
  explicit Frame_Owner(Frame_State state = Frame_State::HELD) : state_(state) {}

  Frame_State State() const { return state_; }
  // Before the first request: periodic frames are still held.
  bool Held() const { return state_ == Frame_State::HELD; }

  // After serving a request: the frame to draw now, if any. One that catches up with input
  // typed ahead shows the last figure: a sampler run in each pause would hold a paste up.
  std::optional<Sample_Use> Serve(Served served, bool input_waiting);
  // Before a line runs: the frame owed for it, so its output never follows a line nobody saw.
  std::optional<Sample_Use> Before_Run() {
    return state_ == Frame_State::OWED ? std::optional(Draw()) : std::nullopt;
  }
  // The screen was cleared: a frame now, whatever is waiting.
  Sample_Use Cleared() { return Draw(); }
  // A Tab about to walk a folder: true when its frame follows at once, so the sampler may
  // start now and the frame take that run.
  bool Prepare_Sample(bool input_waiting) { return sample_prepared_ = !input_waiting; }

  // What the next frame must blank once the line shrinks from `line_length`, `noted` being
  // what it would blank so far: a screen behind may still show a longer line.
  std::size_t Length_To_Blank(std::size_t noted, std::size_t line_length) const {
    return state_ == Frame_State::OWED ? std::max(noted, line_length) : line_length;
  }

 private:
  Sample_Use Draw();

  Frame_State state_;
  bool sample_prepared_ = false;  // a Tab's run that no frame has taken yet
};

}  // namespace nk::main
