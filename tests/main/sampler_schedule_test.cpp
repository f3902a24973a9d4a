#include "screen/sampler_schedule.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

namespace {

using nk::main::Sampler_Schedule;
using Step = Sampler_Schedule::Step;
using State = Sampler_Schedule::State;

// Every transition, in the order a hanging sampler meets them, at times in milliseconds.
TEST(SamplerSchedule, RestsAfterAKilledRunThenTriesOneThatNoFrameWaitsFor) {
  enum Event { NEXT, KILLED, ENDED };
  // At, event, the step of a NEXT, the state after.
  const std::tuple<int, Event, Step, State> script[] = {
      {0, NEXT, Step::RUN, State::WAITING},      {2000, KILLED, {}, State::RESTING},
      {11999, NEXT, Step::KEEP, State::RESTING}, {12000, NEXT, Step::START, State::TRYING},
      {13999, NEXT, Step::LOOK, State::TRYING},  {14000, NEXT, Step::LOOK_OR_KILL, State::TRYING},
      {14000, KILLED, {}, State::RESTING},       {23999, NEXT, Step::KEEP, State::RESTING},
      {24000, NEXT, Step::START, State::TRYING}, {24100, ENDED, {}, State::WAITING},
      {24600, NEXT, Step::RUN, State::WAITING},
  };
  Sampler_Schedule schedule;
  const auto start = std::chrono::steady_clock::now();
  for (const auto& [at, event, step, state] : script) {
    const auto now = start + std::chrono::milliseconds(at);
    if (event == KILLED) schedule.Killed(now);
    if (event == ENDED) schedule.Ended();
    if (event == NEXT) {
      EXPECT_EQ(schedule.Next(now), step) << at;
    }
    EXPECT_EQ(schedule.Current(), state) << at;
  }
}

}  // namespace
