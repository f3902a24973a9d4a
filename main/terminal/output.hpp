// The one write path of everything nelk shows, std::cout included: nk::Write_All, which
// loses no byte to a signal or to a descriptor a program left non-blocking.
#pragma once

#include <string_view>

namespace nk::main {
// Sends std::cout through Write_Whole's path, so that a failed write never leaves the stream
// in an error state that silences the rest of the run. Call once, first thing in main.
void Route_Standard_Output();

// Flushes std::cout, so that a command's buffered output comes first, then writes all of
// `bytes` to `fd`. A terminal that is gone (EIO) is a hang-up, as if SIGHUP had come.
void Write_Whole(int fd, std::string_view bytes);
}  // namespace nk::main
