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

struct Job {
  int In = 0;
  int Out = 0;
};

// Only keeps a broken primitive from hanging the run; never expires on a loaded machine.
constexpr auto Guard = 30s;

TEST(Rendezvous, TimeOutAndAcceptOnlyReleasesTheCallerBeforeTheWorkIsDone) {
  Rendezvous<Job> inbox;
  EXPECT_FALSE(inbox.Accept_For(10ms).has_value());
  std::binary_semaphore caller_back{0};
  std::atomic<bool> released_in_time = false;
  std::atomic<int> seen = 0;
  std::thread server([&] {
    auto accepted = inbox.Accept_For(Guard);
    ASSERT_TRUE(accepted.has_value());
    seen = accepted->Get().In;
    released_in_time = caller_back.try_acquire_for(Guard);  // the work goes on after acceptance
  });
  EXPECT_TRUE(inbox.Call(Job{7, 0}, Waits::ACCEPT));
  caller_back.release();
  server.join();
  EXPECT_TRUE(released_in_time);
  EXPECT_EQ(seen, 7);
}

TEST(Rendezvous, BodyRequestWaitsForTheWorkEvenWhenItThrows) {
  Rendezvous<Job> inbox;
  std::atomic<bool> body_finished = false;
  std::thread server([&] {
    {
      auto accepted = inbox.Accept();
      ASSERT_TRUE(accepted.has_value());
      std::this_thread::sleep_for(20ms);  // a slow body: the caller must still wait for it
      accepted->Get().Out = accepted->Get().In * 2;
      body_finished = true;
    }
    try {
      auto failing = inbox.Accept();
      failing->Get().Out = 5;
      throw std::runtime_error("body failed");
    } catch (const std::runtime_error&) {
    }
  });
  Job job{21, 0};
  EXPECT_TRUE(inbox.Call(job, Waits::BODY));
  EXPECT_TRUE(body_finished);
  EXPECT_EQ(job.Out, 42);
  EXPECT_TRUE(inbox.Call(job, Waits::BODY));
  EXPECT_EQ(job.Out, 5);
  server.join();
}

TEST(Rendezvous, ManyCallersManyRequestsOneAtATimeNoneLost) {
  constexpr int Callers = 8;
  constexpr int Each = 200;
  Rendezvous<Job> inbox;
  std::set<int> served;
  std::thread server([&] {
    for (int i = 0; i < Callers * Each; ++i) {
      auto accepted = inbox.Accept();
      ASSERT_TRUE(accepted.has_value());
      served.insert(accepted->Get().In);
      accepted->Get().Out = -accepted->Get().In;
    }
  });
  std::atomic<int> wrong_answers = 0;
  std::vector<std::thread> callers;
  for (int c = 0; c < Callers; ++c) {
    callers.emplace_back([&, c] {
      for (int i = 0; i < Each; ++i) {
        Job job{c * Each + i + 1, 0};
        const Waits waits = i % 2 == 0 ? Waits::BODY : Waits::ACCEPT;
        if (!inbox.Call(job, waits) || (waits == Waits::BODY && job.Out != -job.In)) {
          ++wrong_answers;
        }
      }
    });
  }
  for (auto& caller : callers) {
    caller.join();
  }
  server.join();
  EXPECT_EQ(wrong_answers, 0);
  EXPECT_EQ(served.size(), static_cast<std::size_t>(Callers * Each));
}

TEST(Rendezvous, CloseTurnsAwayWaitingAndLaterCallers) {
  Rendezvous<Job> inbox;
  std::atomic<int> refused = 0;
  std::vector<std::thread> callers;
  for (int i = 0; i < 3; ++i) {
    callers.emplace_back([&] { refused += inbox.Call(Job{1, 0}, Waits::BODY) ? 0 : 1; });
  }
  inbox.Close();
  for (auto& caller : callers) {
    caller.join();
  }
  EXPECT_EQ(refused, 3);
  EXPECT_FALSE(inbox.Call(Job{2, 0}, Waits::ACCEPT));
  EXPECT_FALSE(inbox.Accept().has_value());
  EXPECT_FALSE(inbox.Accept_For(1ms).has_value());
  EXPECT_TRUE(inbox.Is_Closed());
}

TEST(Rendezvous, BodyUnderWayWhenClosedStillReturnsItsResult) {
  Rendezvous<Job> inbox;
  std::thread server([&] {
    auto accepted = inbox.Accept();
    ASSERT_TRUE(accepted.has_value());
    inbox.Close();  // the server ends while serving its last request
    accepted->Get().Out = 9;
  });
  Job job{1, 0};
  EXPECT_TRUE(inbox.Call(job, Waits::BODY));
  EXPECT_EQ(job.Out, 9);
  server.join();
}

// A request placed just as the server's wait times out is still taken, by this Accept_For
// or the next: a lost wake-up of the futex hand-off would leave the caller asleep.
TEST(Rendezvous, RequestsRacingATimeOutAreAllServed) {
  constexpr int Requests = 3000;
  Rendezvous<int> inbox;
  std::atomic<int> served = 0;
  std::thread server([&] {
    while (served < Requests) {
      if (auto accepted = inbox.Accept_For(std::chrono::microseconds(served % 50))) {
        accepted->Get() = -accepted->Get();
        ++served;
      }
    }
  });
  int wrong = 0;
  for (int i = 1; i <= Requests; ++i) {
    int request = i;
    const Waits waits = i % 3 == 0 ? Waits::ACCEPT : Waits::BODY;
    wrong += inbox.Call(request, waits) && (waits == Waits::ACCEPT || request == -i) ? 0 : 1;
  }
  server.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
