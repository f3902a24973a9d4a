// Runs a program as a child process for end-to-end tests: given arguments, working
// directory, environment and standard input bytes; captures standard output and error
// and the exit status, and kills the child if it outlives its time-out.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace nk::e2e {

struct Process_Request {
  std::string Program;                   // path of the executable
  std::vector<std::string> Arguments;    // program name excluded
  std::string Directory;                 // working directory; empty: the caller's
  std::vector<std::string> Environment;  // "NAME=value"; the whole environment
  std::string Input;                     // standard input, then end of file
  std::chrono::milliseconds Time_Out{20'000};
};

struct Process_Result {
  std::string Output;    // standard output bytes
  std::string Errors;    // standard error bytes
  int Exit_Status = -1;  // the status when the child exited, else -1
  int Signal = 0;        // the signal that ended it, else 0
  bool Timed_Out = false;
};

// A started child; Wait collects it. Not copyable; waits (killing on time-out) if dropped.
class Process {
 public:
  // Forks and executes. With `gate` >= 0 the child first blocks until it has read one
  // byte from that descriptor, so many children can be released at once.
  explicit Process(const Process_Request& request, int gate = -1);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  Process_Result Wait();

 private:
  Process_Request request_;
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  bool waited_ = false;
};

// Start and Wait in one.
Process_Result Run_Process(const Process_Request& request);

// The environment of a test run: PATH from this process, HOME and the given extras.
std::vector<std::string> Test_Environment(const std::string& home,
                                          const std::vector<std::string>& extra = {});

// A fresh directory under the system's temporary directory, removed with everything in
// it when the object goes.
class Temporary_Directory {
 public:
  Temporary_Directory();
  ~Temporary_Directory();
  Temporary_Directory(const Temporary_Directory&) = delete;
  Temporary_Directory& operator=(const Temporary_Directory&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The bytes of a file into `bytes`; false when it cannot be opened.
bool Read_File(const std::string& path, std::string& bytes);
void Write_File(const std::string& path, const std::string& bytes);

}  // namespace nk::e2e
