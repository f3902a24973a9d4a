// The one write path of everything nelk shows: frames, listings, messages and what is
// written to std::cout all end in nk::Write_All, which loses no byte to a signal or to a
// descriptor a program left non-blocking.
#pragma once

#include <string_view>

namespace nk::main {

// Sends what std::cout is given to standard output through Write_Whole's path, so that a
// failed write never leaves the stream in an error state that silences the rest of the
// run. Call once, first thing in main.
void Route_Standard_Output();

// Flushes std::cout, then writes all of `bytes` to `fd`. The flush keeps a command's
// buffered output from landing after the frame, bell or listing that follows it. A
// terminal that is gone (EIO) is a hang-up, as if SIGHUP had come.
void Write_Whole(int fd, std::string_view bytes);

}  // namespace nk::main
