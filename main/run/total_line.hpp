// Command lines that change the persistent total: "+12.5", "-3".
#pragma once

#include <ostream>
#include <string_view>

namespace nk::main {

// Adds the value of `line` (longer than one character) to the stored total and answers
// true; on a bad or out-of-range value, or a sum out of range, writes "-: error" and a line
// end on `out`, changes nothing and answers false. A file that cannot be used writes its
// one-line error (the file and the reason) instead.
bool Change_Total(std::string_view line, std::ostream& out);

}  // namespace nk::main
