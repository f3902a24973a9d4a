#pragma once

#include <chrono>
#include <functional>

#include "sync/request_server.hpp"

namespace nk::main {

enum class Deamon_Op { STOP, PAUSE, RESUME };

// "deamon": asks for a redraw after every `period` without a request, unless paused.
class Deamon : public Request_Server<Deamon_Op> {
 public:
  Deamon(std::function<void()> redraw, std::chrono::milliseconds period, bool start_paused = false)
      : Request_Server("deamon", Deamon_Op::STOP),
        redraw_(std::move(redraw)),
        period_(period),
        start_paused_(start_paused) {}
  ~Deamon() {
    Stop();
    Join();
  }

  void Start() {
    Launch([this](std::latch& started) { Serve(started); });
  }
  // Once Pause returns no redraw is under way and none starts before Resume.
  void Pause() { inbox_.Call(Deamon_Op::PAUSE, Waits::ACCEPT); }
  void Resume() { inbox_.Call(Deamon_Op::RESUME, Waits::ACCEPT); }

 private:
  void Serve(std::latch& started);

  std::function<void()> redraw_;
  std::chrono::milliseconds period_;
  bool start_paused_;
};

// Paused for a scope, a throw included: a Resume skipped would freeze the prompt for good.
class Deamon_Paused {
 public:
  explicit Deamon_Paused(Deamon& deamon) : deamon_(deamon) { deamon_.Pause(); }
  ~Deamon_Paused() { deamon_.Resume(); }
  Deamon_Paused(const Deamon_Paused&) = delete;
  Deamon_Paused& operator=(const Deamon_Paused&) = delete;

 private:
  Deamon& deamon_;
};

}  // namespace nk::main
