#include "sync/rendezvous.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <semaphore>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "asleep.hpp"

namespace {

using nk::main::Rendezvous;
using nk::main::Waits;
using namespace std::chrono_literals;

// Only keeps a broken primitive from hanging the run; never expires on a loaded machine.
constexpr auto Guard = 30s;

// A BODY caller gets the result once the body is done, also when it throws or closes.
TEST(Rendezvous, CallerWaitsForAcceptanceOrForTheWholeBody) {
  Rendezvous<int> inbox;
  EXPECT_FALSE(inbox.Accept_For(1ms).has_value());
  const std::atomic<pid_t> caller = ::gettid();
  std::binary_semaphore caller_back{0};
  std::thread server([&] {
    EXPECT_EQ(inbox.Accept()->Get(), 7);
    EXPECT_TRUE(caller_back.try_acquire_for(Guard));
    {
      auto accepted = inbox.Accept();
      Wait_Asleep_In(caller, &inbox, sizeof inbox);  // one released early has read 21 by now
      accepted->Get() *= 2;
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
  EXPECT_TRUE(inbox.Call(7, Waits::ACCEPT));
  caller_back.release();
  for (const int out : {42, 5, 9}) {
    int job = 21;
    EXPECT_TRUE(inbox.Call(job, Waits::BODY));
    EXPECT_EQ(job, out);
  }
  server.join();
}

// None lost or served twice while the server's short time-outs keep running out.
TEST(Rendezvous, ManyCallersRacingTimeOutsAreAllServedOnce) {
  constexpr int Callers = 8, Each = 400;
  Rendezvous<int> inbox;
  std::multiset<int> served;
  std::thread server([&] {
    while (served.size() < std::size_t{Callers} * Each) {
      if (auto accepted = inbox.Accept_For(std::chrono::microseconds(served.size() % 50))) {
        served.insert(accepted->Get());
        accepted->Get() = -accepted->Get();
      }
    }
  });
  std::vector<std::jthread> callers;
  callers.reserve(Callers);
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

// Close wakes a sleeping server, turns away a caller not yet served, and every later call.
TEST(Rendezvous, CloseTurnsAwaySleepersAndLaterCalls) {
  Rendezvous<int> idle;      // a server, no caller
  Rendezvous<int> unserved;  // a caller, no server
  std::atomic<pid_t> server = 0, caller = 0;
  std::counting_semaphore<2> woken{0};
  std::jthread serving([&] {
    server = ::gettid();
    EXPECT_FALSE(idle.Accept_For(2 * Guard).has_value());
    woken.release();
  });
  std::jthread calling([&] {
    caller = ::gettid();
    EXPECT_FALSE(unserved.Call(1, Waits::BODY));
    woken.release();
  });
  Wait_Asleep_In(server, &idle, sizeof idle);
  Wait_Asleep_In(caller, &unserved, sizeof unserved);
  idle.Close();
  unserved.Close();
  EXPECT_TRUE(woken.try_acquire_for(Guard) && woken.try_acquire_for(Guard));
  EXPECT_FALSE(unserved.Call(2, Waits::ACCEPT));
  EXPECT_FALSE(unserved.Accept().has_value());
  EXPECT_TRUE(idle.Is_Closed());
}

}  // namespace
