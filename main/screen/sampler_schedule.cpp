#include "screen/sampler_schedule.hpp"

namespace nk::main {

Sampler_Schedule::Step Sampler_Schedule::Next(Time now) {
  switch (state_) {
    case State::WAITING:
      return Step::RUN;
    case State::RESTING:
      if (now - since_ < Sampler_Rest) {
        return Step::KEEP;
      }
      state_ = State::TRYING;
      since_ = now;
      return Step::START;
    case State::TRYING:
      return now - since_ < Sampler_Limit ? Step::LOOK : Step::LOOK_OR_KILL;
  }
  return Step::KEEP;
}

}  // namespace nk::main
