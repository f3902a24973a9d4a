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

// "cpu_process": the usage figure, from $HOME/bin/cpu through $HOME/.cpu_usage.txt.
class Cpu_Process {
 public:
  explicit Cpu_Process(std::binary_semaphore& directory_lock) : directory_lock_(directory_lock) {}
  ~Cpu_Process();
  Cpu_Process(const Cpu_Process&) = delete;
  Cpu_Process& operator=(const Cpu_Process&) = delete;

  // Starts the thread; returns once it has read HOME and built its command.
  void Start();
  // Runs the sampler under Directory_Lock and updates the usage; returns when done.
  void Sample();
  // The six characters of the usage; nullopt once stopped.
  std::optional<std::string> Get_Usage();
  void Stop();
  void Join();

 private:
  enum class Op { SAMPLE, GET_USAGE, STOP };
  struct Request {
    Op Kind = Op::STOP;
    std::string Usage;
  };
  void Serve(std::latch& started);
  void Take_Sample();

  std::binary_semaphore& directory_lock_;
  Rendezvous<Request> inbox_;
  std::thread thread_;
  // The thread's own.
  std::string home_;
  std::string command_;
  std::string usage_{No_Usage};
};

// "screen": draws the prompt and the line in one write, under Line_Lock.
class Screen {
 public:
  Screen(Shell_State& state, Cpu_Process& cpu, int output_fd)
      : state_(state), cpu_(cpu), output_fd_(output_fd) {}
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  void Start();
  // Redraws; returns when the frame is written. The caller must not hold Line_Lock.
  void Refresh();
  void Stop();
  void Join();

 private:
  enum class Op { REFRESH, STOP };
  void Serve(std::latch& started);
  void Draw();
  std::string Total_Image() const;

  Shell_State& state_;
  Cpu_Process& cpu_;
  int output_fd_;
  Rendezvous<Op> inbox_;
  std::thread thread_;
  // The thread's own.
  std::string prompt_;
  std::string usage_{No_Usage};  // the last figure received
};

// "deamon": asks for a redraw after every `period` without a request, unless paused.
class Deamon {
 public:
  using Redraw = std::function<void()>;
  Deamon(Redraw redraw, std::chrono::milliseconds period, bool start_paused = false)
      : redraw_(std::move(redraw)), period_(period), start_paused_(start_paused) {}
  ~Deamon();
  Deamon(const Deamon&) = delete;
  Deamon& operator=(const Deamon&) = delete;

  void Start();
  void Stop();
  // Once Pause returns no redraw is under way and none starts before Resume.
  void Pause();
  void Resume();
  void Join();

 private:
  enum class Op { STOP, PAUSE, RESUME };
  void Serve(std::latch& started);

  Redraw redraw_;
  std::chrono::milliseconds period_;
  bool start_paused_;
  Rendezvous<Op> inbox_;
  std::thread thread_;
};

}  // namespace nk::main
