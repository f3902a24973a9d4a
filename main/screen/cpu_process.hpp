#pragma once

#include <optional>
#include <semaphore>
#include <string>
#include <string_view>

#include "run/spawn.hpp"
#include "screen/prompt.hpp"
#include "screen/reaper.hpp"
#include "screen/sampler_schedule.hpp"
#include "sync/request_server.hpp"

namespace nk::main {

// The sample's first line right-aligned in five columns, then "%". Of a longer line, the
// whole characters within its first five bytes: a chatty sampler cannot shift the clock.
std::string Usage_Field(std::string_view first_line);

// Where the sampler writes, and the command that runs $HOME/bin/cpu into it, with no
// terminal input and no error output.
std::string Sample_File(std::string_view home);
std::string Sample_Command(std::string_view home);

enum class Cpu_Op { SAMPLE, GET_USAGE, PREPARE, STOP };
struct Cpu_Request {
  Cpu_Op Kind = Cpu_Op::STOP;
  std::string Usage;  // SAMPLE and GET_USAGE: the reply
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

  // Returns once the thread has read HOME.
  void Start() {
    Launch([this](std::latch& started) { Serve(started); });
  }
  // Runs the sampler under Directory_Lock as Sampler_Schedule says; the usage it left (else
  // the last one), nullopt once stopped.
  std::optional<std::string> Sample() { return Ask(Cpu_Op::SAMPLE); }
  // Starts a run and returns at once, so the sampler runs during a Tab's walk, not after.
  void Prepare() { inbox_.Call(Cpu_Request{Cpu_Op::PREPARE, {}}, Waits::ACCEPT); }
  // The usage once every run asked for before has ended; nullopt once stopped.
  std::optional<std::string> Get_Usage() { return Ask(Cpu_Op::GET_USAGE); }

 private:
  std::optional<std::string> Ask(Cpu_Op kind);
  void Serve(std::latch& started);
  void Take_Sample();
  bool Start_Run();
  void Finish_Run(bool ended, Sampler_Schedule::Time now);

  std::binary_semaphore& directory_lock_;
  std::string home_;  // this and below: the thread's own
  std::string file_;
  std::string command_;
  std::string usage_{No_Usage};
  Sampler_Schedule schedule_;
  std::optional<Bounded_Child> run_;  // started and not yet reaped
  Reaper reaper_;
};

}  // namespace nk::main
