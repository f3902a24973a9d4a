#include "screen/frame_owner.hpp"

#include <algorithm>
#include <utility>

namespace nk::main {

std::optional<Sample_Use> Frame_Owner::Serve(Served served, bool input_waiting) {
  switch (served) {
    case Served::REFRESH:
      if (state_ == Frame_State::DRAWN) {
        state_ = Frame_State::DUE;  // the frame just drawn is what it would show
        return std::nullopt;
      }
      [[fallthrough]];  // else as a change: the screen may be behind
    case Served::CHANGE:
      if (!input_waiting) {
        return Draw();
      }
      state_ = Frame_State::OWED;
      return std::nullopt;
    case Served::NOTHING:
      if (state_ != Frame_State::OWED) {
        state_ = Frame_State::DUE;
      }
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Sample_Use> Frame_Owner::Before_Run() {
  if (state_ != Frame_State::OWED) {
    return std::nullopt;
  }
  return Draw();
}

Sample_Use Frame_Owner::Cleared() {
  return Draw();
}

bool Frame_Owner::Prepare_Sample(bool input_waiting) {
  sample_prepared_ = !input_waiting;
  return sample_prepared_;
}

std::size_t Frame_Owner::Length_To_Blank(std::size_t noted, std::size_t line_length) const {
  return state_ == Frame_State::OWED ? std::max(noted, line_length) : line_length;
}

Sample_Use Frame_Owner::Draw() {
  const bool catching_up = std::exchange(state_, Frame_State::DRAWN) == Frame_State::OWED;
  return std::exchange(sample_prepared_, false) || catching_up ? Sample_Use::LAST : Sample_Use::NEW;
}

}  // namespace nk::main
