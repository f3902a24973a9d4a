// nelk: start-up, the key loop and the one way out.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>

#include "nelk.hpp"
#include "nk-shared.hpp"
#include "nk-text.hpp"
#include "startup_options.hpp"
#include "terminal/key_decoder.hpp"
#include "terminal/tty.hpp"
#include "threads/terminal_thread.hpp"

namespace {

using namespace nk::main;

// TERM, the start-up options and the greeting; false when the options ended the run.
// Nothing draws before the key loop's first request, so Terminal.Kind is set unshared.
bool Start_Up(int argc, char** argv, Terminal& terminal, int& status) {
  const char* term = std::getenv("TERM");
  terminal.Kind = To_Terminal_Kind(term != nullptr ? term : "").value_or(Terminal_Kind::NONE);
  terminal.Old_Pwd.clear();
  const Startup_Outcome outcome = Run_Startup_Options(argc, argv, terminal);
  if (!outcome.Go_On) {
    status = outcome.Exit_Status;
    return false;
  }
  const char* user = std::getenv("USER");
  std::cout << "Greetings " << (user != nullptr ? user : "") << "!\n" << std::flush;
  return true;
}

// Reads keys in raw mode until Escape twice or the end of input. Under NONE no key is
// decoded, so the terminal keeps its lines and signal keys: Control-D and Control-C end
// the run.
void Key_Loop(Terminal_Kind kind, Terminal_Thread& thread) {
  const tty::Key_Loop_Signals signals;
  const tty::Raw_Mode raw(kind == Terminal_Kind::XTERM  ? tty::Keyboard::XTERM_KEYS
                          : kind == Terminal_Kind::NONE ? tty::Keyboard::LINES_UNECHOED
                                                        : tty::Keyboard::KEYS);
  nk::text::Utf8_Reader reader([] { return tty::Read_Byte(); });
  // Bytes that are not UTF-8 are no key: skipped, as if never typed.
  auto next = [&reader] {
    auto c = reader.Next();
    while (c && nk::text::Is_Raw_Byte(*c)) {
      c = reader.Next();
    }
    return c;
  };
  Run_Key_Loop(kind, next, [&thread](const Terminal_Request& request) { thread.Send(request); });
}

}  // namespace

int main(int argc, char** argv) {
  tty::Install();
  nk::shared::Pin_Total_Directory();
  Terminal terminal;
  Terminal_Thread thread(terminal);
  thread.Start();
  int status = 0;
  try {
    if (Start_Up(argc, argv, terminal, status)) {
      Key_Loop(terminal.Kind, thread);
    }
  } catch (const std::exception& error) {
    // Still through Quit: the other threads must end before the program does.
    std::cout << "Error: " << error.what() << std::endl;
    status = EXIT_FAILURE;
  }
  thread.Send({Request_Kind::Quit});  // refused harmlessly when the key loop sent it
  thread.Join();
  if (const int signal = tty::Termination_Signal(); signal != 0) {
    return 128 + signal;
  }
  return status;
}
