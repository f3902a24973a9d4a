// The three background threads of the terminal thread. cpu_process runs the CPU
// sampler, screen redraws the status prompt and the line, deamon asks screen to redraw
// whenever a period passes without a request. Each serves synchronous requests through
// a Rendezvous; Stop ends a thread, and a stopped thread turns later requests away at
// once instead of blocking its caller.
#pragma once

#include <chrono>
#include <functional>
#include <latch>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>

#include "main/prompt.hpp"
#include "main/rendezvous.hpp"
#include "main/shell_state.hpp"

namespace nk::main {

// Runs `body` on a new thread named `name` and returns once `body` has counted down the
// latch it is given, i.e. has finished its own start-up.
std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body);

// The thread and the inbox that each background thread is built on. Stop sends the
// thread's own stop request; a thread that never started closes its inbox instead, so
// neither Stop nor any later caller blocks on it.
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
    inbox_.Call(Request(stop_), Waits::ACCEPT);
  }
  void Join() {
    if (thread_.joinable()) {
      thread_.join();
    }
  }

 protected:
  Request_Server(const char* name, Request stop) : name_(name), stop_(std::move(stop)) {}
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
  std::thread thread_;
};

enum class Cpu_Op { SAMPLE, GET_USAGE, STOP };
struct Cpu_Request {
  Cpu_Op Kind = Cpu_Op::STOP;
  std::string Usage;
};
enum class Screen_Op { REFRESH, STOP };
enum class Deamon_Op { STOP, PAUSE, RESUME };

// "cpu_process": the usage figure, from $HOME/bin/cpu through $HOME/.cpu_usage.txt.
class Cpu_Process : public Request_Server<Cpu_Request> {
 public:
  explicit Cpu_Process(std::binary_semaphore& directory_lock)
      : Request_Server("cpu_process", Cpu_Request{}), directory_lock_(directory_lock) {}
  ~Cpu_Process() {
    Stop();
    Join();
  }

  // Starts the thread; returns once it has read HOME and built its command.
  void Start() {
    Launch([this](std::latch& started) { Serve(started); });
  }
  // Runs the sampler under Directory_Lock and updates the usage; returns when done.
  void Sample();
  // The six characters of the usage; nullopt once stopped.
  std::optional<std::string> Get_Usage();

 private:
  void Serve(std::latch& started);
  void Take_Sample();

  std::binary_semaphore& directory_lock_;
  // The thread's own.
  std::string home_;
  std::string command_;
  std::string usage_{No_Usage};
};

// "screen": draws the prompt and the line in one write, under Line_Lock.
class Screen : public Request_Server<Screen_Op> {
 public:
  Screen(Shell_State& state, Cpu_Process& cpu, int output_fd)
      : Request_Server("screen", Screen_Op::STOP),
        state_(state),
        cpu_(cpu),
        output_fd_(output_fd) {}
  ~Screen() {
    Stop();
    Join();
  }

  void Start() {
    Launch([this](std::latch& started) { Serve(started); });
  }
  // Redraws; returns when the frame is written. The caller must not hold Line_Lock.
  void Refresh();

 private:
  void Serve(std::latch& started);
  void Draw();
  std::string Total_Image() const;

  Shell_State& state_;
  Cpu_Process& cpu_;
  int output_fd_;
  // The thread's own.
  std::string prompt_;
  std::string usage_{No_Usage};  // the last figure received
};

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

}  // namespace nk::main
