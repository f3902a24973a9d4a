// Starting a program that shares the shell's standard input, output and error, and one
// (the sampler) that must touch neither the terminal nor nelk's time beyond a bound.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "nk-descriptor.hpp"

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

// A program that must not touch the terminal or outlast a bound, started and not yet
// reaped.
struct Bounded_Child {
  pid_t Pid = 0;
  Descriptor Handle;  // its process handle; invalid on a kernel without them
};

// Starts `program` as Run_Program does, but with standard input and error on /dev/null
// from the start, in `folder`, as the leader of a process group of its own (a signal typed
// at the terminal does not reach it, and the group can be killed whole); nullopt when it
// could not start.
std::optional<Bounded_Child> Start_Bounded(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::string& folder);

// Waits for `child` to end, at most `limit` (zero: only looks); true once it has ended
// and been reaped.
bool Wait_Within(const Bounded_Child& child, std::chrono::milliseconds limit);

// SIGKILL to the child's whole group.
void Kill_Group(const Bounded_Child& child);

}  // namespace nk::main
