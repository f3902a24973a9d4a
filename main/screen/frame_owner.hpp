// When the terminal thread draws a frame, when it leaves one owed, and whether a frame may
// take a sample already started: decided here and nowhere else.
//
// Every request served with nothing waiting to be read gets its frame; one served while
// more input waits (a paste, keys typed during a command) leaves it owed to the first one
// served without, so a paste costs one frame, not one per character. The key loop keeps
// the promise behind that: a request sent with input waiting is followed by another
// before the loop blocks on a read.
#pragma once

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

// Where a frame's usage figure comes from: a sampler run of its own, or the last run asked
// for (the one a Tab started while its walk went on, or the last frame's).
enum class Sample_Use : std::uint8_t { NEW, LAST };

// Used by the terminal thread only; periodic frames are the deamon's and change nothing
// here (they show the line as it is, which no state below contradicts).
class Frame_Owner {
 public:
  explicit Frame_Owner(Frame_State state = Frame_State::HELD) : state_(state) {}

  Frame_State State() const { return state_; }
  // Before the first request: periodic frames are still held.
  bool Held() const { return state_ == Frame_State::HELD; }

  // After serving a request sent with `input_waiting` or not: the frame to draw now, if any.
  // A frame that catches up with input typed ahead shows the last figure: a sampler run
  // in each pause of a paste would hold the paste up, and the periodic frames keep the
  // figure current.
  std::optional<Sample_Use> Serve(Served served, bool input_waiting);
  // Before a line runs: the frame owed for it, so its output never follows a line nobody saw.
  std::optional<Sample_Use> Before_Run();
  // The screen was cleared: a frame now, whatever is waiting.
  Sample_Use Cleared();
  // A Tab about to walk a folder: true when its frame follows at once (nothing waiting),
  // so the sampler may start now and the frame take that run.
  bool Prepare_Sample(bool input_waiting);

  // What the next frame must blank once the line shrinks from `line_length`, `noted`
  // being what it would blank so far: with frames left undrawn the screen may still show
  // a longer line than this one.
  std::size_t Length_To_Blank(std::size_t noted, std::size_t line_length) const;

 private:
  Sample_Use Draw();

  Frame_State state_;
  bool sample_prepared_ = false;  // a Tab's run that no frame has taken yet
};

}  // namespace nk::main
