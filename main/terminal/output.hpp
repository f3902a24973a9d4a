// Raw writes to the terminal beside std::cout, in the right order.
#pragma once

#include <string_view>

namespace nk::main {

// Flushes std::cout, then writes all of `bytes` to `fd` in one write (continued only
// after a signal or a short write). The flush keeps a command's buffered output from
// landing after the frame, bell or listing that follows it.
void Write_Whole(int fd, std::string_view bytes);

}  // namespace nk::main
