// Placeholder entry point until the interactive front end lands.
#include <cstdlib>
#include <iostream>

#include "main/nelk.hpp"
#include "main/startup_options.hpp"

int main(int argc, char** argv) {
  nk::main::Terminal terminal;
  if (const char* term = std::getenv("TERM")) {
    terminal.Kind = nk::main::To_Terminal_Kind(term).value_or(nk::main::Terminal_Kind::NONE);
  }
  const auto outcome = nk::main::Run_Startup_Options(argc, argv, terminal);
  if (!outcome.Go_On) {
    return outcome.Exit_Status;
  }
  const char* user = std::getenv("USER");
  std::cout << "Greetings " << (user ? user : "") << "!\n";
  return 0;
}
