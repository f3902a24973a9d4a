// The key loop under each terminal kind ends at the end of input, and Quit is the last request.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "nk-text.hpp"
#include "terminal/key_decoder.hpp"

using namespace nk::main;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const auto kind : {Terminal_Kind::LINUX, Terminal_Kind::XTERM, Terminal_Kind::NONE}) {
    std::size_t next = 0;
    nk::text::Utf8_Reader reader([&]() -> std::optional<unsigned char> {
      return next < size ? std::optional<unsigned char>(data[next++]) : std::nullopt;
    });
    std::vector<Request_Kind> sent;
    const auto end = Run_Key_Loop(
        kind, [&] { return reader.Next(); },
        [&](const Terminal_Request& request) { sent.push_back(request.Kind); });
    const bool quit = !sent.empty() && sent.back() == Request_Kind::Quit;
    if ((end == Loop_End::QUIT) != quit || (end == Loop_End::END_OF_INPUT && next != size))
      std::abort();
  }
  return 0;
}
