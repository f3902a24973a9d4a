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

// The usage field: the sample's first line right-aligned in five columns, then "%". Of a
// longer line the field shows the whole characters within its first five bytes, so a
// chatty sampler cannot push the clock and the total out of place.
std::string Usage_Field(std::string_view first_line);

// Where the sampler writes, and the command that runs it: $HOME/bin/cpu with its output
// in $HOME/.cpu_usage.txt, no terminal input and no error output. HOME is quoted for the
// shell, so blanks, quotes or "$" in it neither break the command nor run anything else.
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

  // Starts the thread; returns once it has read HOME and built its command.
  void Start() {
    Launch([this](std::latch& started) { Serve(started); });
  }
  // Runs the sampler under Directory_Lock as Sampler_Schedule says and returns the usage
  // it left (the last one when the run left no line); nullopt once stopped.
  std::optional<std::string> Sample();
  // Starts a run and returns at once, so the sampler runs while the caller works (a Tab's
  // walk of a folder) instead of after it.
  void Prepare();
  // The six characters of the usage, once every run asked for before has ended; nullopt
  // once stopped.
  std::optional<std::string> Get_Usage();

 private:
  void Serve(std::latch& started);
  void Take_Sample();
  bool Start_Run(const std::string& file);
  void Finish_Run(const std::string& file, bool ended);

  std::binary_semaphore& directory_lock_;
  // The thread's own.
  std::string home_;
  std::string command_;
  std::string usage_{No_Usage};
  Sampler_Schedule schedule_;
  std::optional<Bounded_Child> run_;  // started and not yet reaped
  Reaper reaper_;
};

}  // namespace nk::main
