#include "threads/rendezvous.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using nk::main::Rendezvous;
using nk::main::Waits;
using namespace std::chrono_literals;

// Only keeps a broken primitive from hanging the run; never expires on a loaded machine.
constexpr auto Guard = 30s;

TEST(Rendezvous, TimeOutAndAcceptOnlyReleasesTheCallerBeforeTheWorkIsDone) {
  Rendezvous<int> inbox;
  EXPECT_FALSE(inbox.Accept_For(10ms).has_value());
  std::binary_semaphore caller_back{0};
  std::thread server([&] {
    auto accepted = inbox.Accept_For(Guard);
    ASSERT_TRUE(accepted.has_value());
    EXPECT_EQ(accepted->Get(), 7);
    EXPECT_TRUE(caller_back.try_acquire_for(Guard));  // the work goes on after acceptance
  });
  EXPECT_TRUE(inbox.Call(7, Waits::ACCEPT));
  caller_back.release();
  server.join();
}

// The caller gets the body's result also when the body throws, or closes the inbox.
TEST(Rendezvous, BodyRequestWaitsForTheWorkEvenWhenItThrowsOrCloses) {
  Rendezvous<int> inbox;
  std::atomic<bool> body_finished = false;
  std::thread server([&] {
    {
      auto accepted = inbox.Accept();
      ASSERT_TRUE(accepted.has_value());
      std::this_thread::sleep_for(20ms);  // a slow body: the caller must still wait for it
      accepted->Get() *= 2;
      body_finished = true;
    }
    try {
      auto failing = inbox.Accept();
      failing->Get() = 5;
      throw std::runtime_error("body failed");
    } catch (const std::runtime_error&) {
    }
    auto last = inbox.Accept();
    inbox.Close();  // the server ends while serving its last request
    last->Get() = 9;
  });
  int job = 21;
  EXPECT_TRUE(inbox.Call(job, Waits::BODY));
  EXPECT_TRUE(body_finished);
  EXPECT_EQ(job, 42);
  for (const int out : {5, 9}) {
    EXPECT_TRUE(inbox.Call(job, Waits::BODY));
    EXPECT_EQ(job, out);
  }
  server.join();
}

// Requests from many callers at once, one at a time, none lost. The server's short
// time-outs keep running out just as a request is placed: it is still taken, by this
// Accept_For or the next, where a lost wake-up of the hand-off would leave a caller asleep.
TEST(Rendezvous, ManyCallersRacingTimeOutsAreAllServedOnce) {
  constexpr int Callers = 8;
  constexpr int Each = 400;
  Rendezvous<int> inbox;
  std::multiset<int> served;
  std::thread server([&] {
    while (served.size() < Callers * Each) {
      if (auto accepted = inbox.Accept_For(std::chrono::microseconds(served.size() % 50))) {
        served.insert(accepted->Get());
        accepted->Get() = -accepted->Get();
      }
    }
  });
  std::vector<std::jthread> callers;
  for (int c = 0; c < Callers; ++c) {
    callers.emplace_back([&, c] {
      for (int i = 0; i < Each; ++i) {
        const int in = c * Each + i + 1;
        int job = in;
        const Waits waits = i % 3 == 0 ? Waits::ACCEPT : Waits::BODY;
        EXPECT_TRUE(inbox.Call(job, waits));
        EXPECT_EQ(job, waits == Waits::BODY ? -in : in);  // ACCEPT: the server has a copy
      }
    });
  }
  callers.clear();  // joins them
  server.join();
  EXPECT_EQ(std::set<int>(served.begin(), served.end()).size(), served.size()) << "one twice";
}

TEST(Rendezvous, CloseTurnsAwayWaitingAndLaterCallers) {
  Rendezvous<int> inbox;
  std::vector<std::jthread> callers;
  for (int i = 0; i < 3; ++i) {
    callers.emplace_back([&] { EXPECT_FALSE(inbox.Call(1, Waits::BODY)); });
  }
  inbox.Close();
  callers.clear();  // joins them
  EXPECT_FALSE(inbox.Call(2, Waits::ACCEPT));
  EXPECT_FALSE(inbox.Accept().has_value());
  EXPECT_FALSE(inbox.Accept_For(1ms).has_value());
  EXPECT_TRUE(inbox.Is_Closed());
}

// Closing from outside, as a stop does, wakes a server asleep in a wait that would
// otherwise outlast the guard.
TEST(Rendezvous, CloseWakesASleepingServer) {
  Rendezvous<int> inbox;
  std::binary_semaphore left{0};
  std::thread server([&] {
    EXPECT_FALSE(inbox.Accept_For(2 * Guard).has_value());
    left.release();
  });
  std::this_thread::sleep_for(20ms);  // asleep by now, on all but the busiest machine
  inbox.Close();
  EXPECT_TRUE(left.try_acquire_for(Guard));
  server.join();
}

}  // namespace
