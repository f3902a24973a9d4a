// Starting a program that shares the shell's standard input, output and error, and one
// (the sampler) that must touch neither the terminal nor nelk's time beyond a bound.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace nk::main {

// Status when no process could be started at all.
inline constexpr int No_Process = -1;
// Status when the program file exists but cannot be run.
inline constexpr int Cannot_Run = 126;

// The exit status recorded for a wait status: the exit code, or 128 + N for a program
// ended by signal N.
int Status_Of(int wait_status);

// Runs `program` (no search) with `arguments` after argv[0] = `program`, waits for it and
// returns Status_Of its wait status; Cannot_Run when the file cannot be executed, else
// No_Process when it could not be started. The child starts with every signal at its
// default action and none blocked, whatever the shell ignores or blocks. `on_child` is
// told the child while it runs and 0 afterwards.
int Run_Program(const std::string& program, const std::vector<std::string>& arguments,
                void (*on_child)(pid_t) = nullptr);

// How a program that must not touch the terminal or outlast a bound is run.
struct Bounded_Run {
  std::string Folder;               // its working folder, which must exist
  std::chrono::milliseconds Limit;  // after this its whole process group is killed
};
enum class Bounded_End : unsigned char { ENDED, KILLED, NOT_STARTED };

// Runs `program` as Run_Program does, but with standard input and error on /dev/null from
// the start, in `how.Folder`, as the leader of a process group of its own (a signal typed
// at the terminal does not reach it, and the group can be killed whole). Past `how.Limit`
// the group gets SIGKILL. `on_group` is told the group while it runs and 0 afterwards.
Bounded_End Run_Bounded(const std::string& program, const std::vector<std::string>& arguments,
                        const Bounded_Run& how, void (*on_group)(pid_t) = nullptr);

}  // namespace nk::main
