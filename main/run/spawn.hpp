// Starting a program that shares the shell's standard descriptors, and one (the sampler)
// that must touch neither the terminal nor nelk's time beyond a bound. Either starts with
// every signal at its default action and none blocked, whatever the shell does with them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "nk-descriptor.hpp"

namespace nk::main {

inline constexpr int No_Process = -1;   // nothing could be started
inline constexpr int Cannot_Run = 126;  // the file exists but cannot be executed

// Runs `program` (no search) with `arguments` after argv[0], noted to tty::Note_Program
// while it runs. Its exit code, 128 + N when signal N ended it, or one of the two above.
int Run_Program(const std::string& program, const std::vector<std::string>& arguments);

struct Bounded_Child {
  pid_t Pid = 0;
  Descriptor Handle;  // its process handle; invalid on a kernel without them
};

// Standard input and error on /dev/null from the start, in `folder`, leading a process
// group of its own (no key typed at the terminal signals it; it is killed whole). Not
// yet reaped; nullopt when it could not start.
std::optional<Bounded_Child> Start_Bounded(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::string& folder);

// Waits for `child` to end, at most `limit` (zero: only looks); true once reaped.
bool Wait_Within(const Bounded_Child& child, std::chrono::milliseconds limit);

// SIGKILL to the child's whole group.
void Kill_Group(const Bounded_Child& child);

}  // namespace nk::main
