#pragma once

#include <optional>
#include <semaphore>
#include <string>

#include "screen/prompt.hpp"
#include "threads/request_server.hpp"

namespace nk::main {

enum class Cpu_Op { SAMPLE, GET_USAGE, STOP };
struct Cpu_Request {
  Cpu_Op Kind = Cpu_Op::STOP;
  std::string Usage;
};
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

}  // namespace nk::main
