#include "screen/frame_owner.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

using nk::main::Frame_Owner;
using nk::main::Sample_Use;
using S = nk::main::Frame_State;
using E = nk::main::Served;
constexpr std::optional<Sample_Use> None;
constexpr std::optional<Sample_Use> New = Sample_Use::NEW;
constexpr std::optional<Sample_Use> Last = Sample_Use::LAST;

TEST(FrameOwner, EveryRequestServedInEveryState) {
  // From, served, input waiting, the frame drawn, the state after.
  const std::tuple<S, E, bool, std::optional<Sample_Use>, S> rows[] = {
      {S::HELD, E::CHANGE, false, New, S::DRAWN},   {S::HELD, E::CHANGE, true, None, S::OWED},
      {S::HELD, E::REFRESH, false, New, S::DRAWN},  {S::HELD, E::REFRESH, true, None, S::OWED},
      {S::HELD, E::NOTHING, false, None, S::DUE},   {S::HELD, E::NOTHING, true, None, S::DUE},
      {S::DRAWN, E::CHANGE, false, New, S::DRAWN},  {S::DRAWN, E::CHANGE, true, None, S::OWED},
      {S::DRAWN, E::REFRESH, false, None, S::DUE},  {S::DRAWN, E::REFRESH, true, None, S::DUE},
      {S::DRAWN, E::NOTHING, false, None, S::DUE},  {S::DRAWN, E::NOTHING, true, None, S::DUE},
      {S::DUE, E::CHANGE, false, New, S::DRAWN},    {S::DUE, E::CHANGE, true, None, S::OWED},
      {S::DUE, E::REFRESH, false, New, S::DRAWN},   {S::DUE, E::REFRESH, true, None, S::OWED},
      {S::DUE, E::NOTHING, false, None, S::DUE},    {S::DUE, E::NOTHING, true, None, S::DUE},
      {S::OWED, E::CHANGE, false, Last, S::DRAWN},  {S::OWED, E::CHANGE, true, None, S::OWED},
      {S::OWED, E::REFRESH, false, Last, S::DRAWN}, {S::OWED, E::REFRESH, true, None, S::OWED},
      {S::OWED, E::NOTHING, false, None, S::OWED},  {S::OWED, E::NOTHING, true, None, S::OWED},
  };
  for (const auto& [from, served, waiting, frame, to] : rows) {
    SCOPED_TRACE(testing::Message() << int(from) << " " << int(served) << " " << waiting);
    Frame_Owner owner(from);
    EXPECT_EQ(owner.Held(), from == S::HELD);
    EXPECT_EQ(owner.Serve(served, waiting), frame);
    EXPECT_EQ(owner.State(), to);
  }
}

// Up then Enter typed ahead: the line runs only once it was drawn, with the last figure.
// Backspaces typed ahead: only a screen behind may still show a longer line than noted.
TEST(FrameOwner, WhatAScreenBehindChanges) {
  for (const S from : {S::HELD, S::DRAWN, S::DUE, S::OWED}) {
    Frame_Owner owner(from);
    EXPECT_EQ(owner.Length_To_Blank(11, 10), from == S::OWED ? 11u : 10u) << int(from);
    EXPECT_EQ(owner.Length_To_Blank(9, 10), 10u) << int(from);
    EXPECT_EQ(owner.Before_Run(), from == S::OWED ? Last : None) << int(from);
    EXPECT_EQ(owner.State(), from == S::OWED ? S::DRAWN : from);
    EXPECT_EQ(owner.Cleared(), Sample_Use::NEW);  // a screen not behind: a sample of its own
    EXPECT_EQ(owner.State(), S::DRAWN);
  }
}

// A Tab's run is taken by the frame right after it, and only by that one.
TEST(FrameOwner, APreparedSampleGoesToTheNextFrameOnly) {
  Frame_Owner owner(S::DRAWN);
  EXPECT_FALSE(owner.Prepare_Sample(true));  // its frame is left: nothing to prepare
  EXPECT_EQ(owner.Serve(E::CHANGE, true), None);
  EXPECT_EQ(owner.Serve(E::REFRESH, false), Last);
  EXPECT_TRUE(owner.Prepare_Sample(false));
  EXPECT_EQ(owner.Serve(E::CHANGE, false), Last);
  EXPECT_EQ(owner.Serve(E::CHANGE, false), New);
}

}  // namespace
