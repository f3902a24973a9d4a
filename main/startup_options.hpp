// The start-up options: at most one one-shot action (help, version, the total), or the
// terminal kind forced with -N before the run goes on.
#pragma once

#include "nelk.hpp"

namespace nk::main {

struct Startup_Outcome {
  bool Go_On = true;    // false: the run ends here
  int Exit_Status = 0;  // when it ends
};

Startup_Outcome Run_Startup_Options(int argc, char** argv, Terminal& terminal);

}  // namespace nk::main
