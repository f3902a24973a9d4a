// Starting a program that shares the shell's standard input, output and error.
#pragma once

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
// default action and none blocked, whatever the shell ignores or blocks.
int Run_Program(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace nk::main
