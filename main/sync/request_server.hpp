// The thread and the inbox that each background thread is built on: Stop ends a
// thread, and a stopped thread turns later requests away at once instead of blocking
// its caller.
#pragma once

#include <functional>
#include <latch>
#include <thread>

#include "sync/rendezvous.hpp"

namespace nk::main {

// Runs `body` on a new thread named `name` and returns once `body` has counted down the
// latch it is given, i.e. has finished its own start-up.
std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body);

// The thread and the inbox that each of the program's threads is built on. Stop sends
// the thread's own stop request; a thread that never started closes its inbox instead,
// so neither Stop nor any later caller blocks on it.
template <typename Request>
class Request_Server {
 public:
  Request_Server(const Request_Server&) = delete;
  Request_Server& operator=(const Request_Server&) = delete;

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
  // `stop_waits`: how long Stop holds its caller.
  Request_Server(const char* name, Request stop, Waits stop_waits = Waits::ACCEPT)
      : name_(name), stop_(std::move(stop)), stop_waits_(stop_waits) {}
  // The derived destructor stops and joins first: the thread still uses its members.
  ~Request_Server() = default;

  // Runs `serve` on the named thread; returns once it has counted down its latch.
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
