// A wake-up of the futex hand-off that the other rendezvous cases do not reach.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "threads/rendezvous.hpp"

namespace {

using nk::main::Rendezvous;
using nk::main::Waits;
using namespace std::chrono_literals;

// A request placed just as the server's wait times out is still taken, by this Accept_For
// or the next: a lost wake-up would leave the caller asleep and the run hanging.
TEST(RendezvousWake, RequestsRacingATimeOutAreAllServed) {
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
