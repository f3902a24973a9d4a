#include "screen/frame_owner.hpp"

#include <utility>

namespace nk::main {

std::optional<Sample_Use> Frame_Owner::Serve(Served served, bool input_waiting) {
  if (served == Served::NOTHING || (served == Served::REFRESH && state_ == Frame_State::DRAWN)) {
    // A Refresh right after a frame has nothing new to show.
    if (state_ != Frame_State::OWED) {
      state_ = Frame_State::DUE;
    }
    return std::nullopt;
  }
  if (!input_waiting) {
    return Draw();
  }
  state_ = Frame_State::OWED;
  return std::nullopt;
}

Sample_Use Frame_Owner::Draw() {
  const bool catching_up = std::exchange(state_, Frame_State::DRAWN) == Frame_State::OWED;
  return std::exchange(sample_prepared_, false) || catching_up ? Sample_Use::LAST : Sample_Use::NEW;
}

}  // namespace nk::main
