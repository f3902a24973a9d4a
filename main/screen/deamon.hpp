#pragma once

#include <chrono>
#include <functional>

#include "sync/request_server.hpp"

namespace nk::main {

enum class Deamon_Op { STOP, PAUSE, RESUME };

// "deamon": asks for a redraw after every `period` without a request, unless paused.
class Deamon : public Request_Server<Deamon_Op> {
 public:
  using Redraw = std::function<void()>;
  Deamon(Redraw redraw, std::chrono::milliseconds period, bool start_paused = false)
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
  void Pause();
  void Resume();

 private:
  void Serve(std::latch& started);

  Redraw redraw_;
  std::chrono::milliseconds period_;
  bool start_paused_;
};

// Deamon paused for a scope and resumed on every way out of it, a throw included: a
// Resume skipped would freeze the prompt for the rest of the run.
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
