// The thread and the inbox each background thread is built on.
#pragma once

#include <functional>
#include <latch>
#include <thread>

#include "sync/rendezvous.hpp"

namespace nk::main {

// Runs `body` on a new thread named `name`; returns once `body` counts down its latch.
std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body);

// Stop sends the thread's own stop request; a thread that never started closes its inbox
// instead, so neither Stop nor a later caller blocks on it.
template <typename Request>
class Request_Server {
 public:
  void Stop() {
    if (!thread_.joinable()) {
      inbox_.Close();
      return;
    }
    inbox_.Call(Request(stop_), stop_waits_);
  }
  void Join() {
    if (thread_.joinable()) {
      thread_.join();
    }
  }

 protected:
  Request_Server(const char* name, Request stop, Waits stop_waits = Waits::ACCEPT)
      : name_(name), stop_(std::move(stop)), stop_waits_(stop_waits) {}
  // The derived destructor stops and joins first: the thread still uses its members.
  ~Request_Server() = default;

  void Launch(std::function<void(std::latch&)> serve) {
    thread_ = Start_Named_Thread(name_, std::move(serve));
  }

  Rendezvous<Request> inbox_;

 private:
  const char* name_;
  Request stop_;
  Waits stop_waits_;
  std::thread thread_;
};

}  // namespace nk::main
