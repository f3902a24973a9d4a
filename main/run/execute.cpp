// Running a finished command line. Everything written here goes to std::cout, which is
// flushed before a child starts and at the end, so nothing appears out of order with
// the child's output or the next prompt.
#include "run/execute.hpp"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "nk-shell.hpp"
#include "nk-text.hpp"
#include "run/path_search.hpp"
#include "run/spawn.hpp"
#include "run/total_line.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/rows.hpp"
#include "terminal/tty.hpp"

namespace nk::main {
namespace {

constexpr const char* Interpreter = "/usr/bin/sh";

// The argument of put and put_line: after the first blank, or the whole line.
std::string_view Put_Argument(std::string_view line) {
  const std::size_t blank = line.find(' ');
  return blank == std::string_view::npos ? line : line.substr(blank + 1);
}

void Change_Directory_Locked(Shell_State& state, std::string_view line) {
  const Semaphore_Guard guard(state.Directory_Lock);
  try {
    state.Term.Old_Pwd = shell::Change_Directory(line, state.Term.Old_Pwd, std::cout);
  } catch (const shell::Directory_Error&) {
    std::cout << "Directory not found\n";
  }
}

// Alias substitution, PATH search and the run through the interpreter.
void Run_External(Shell_State& state, std::string line) {
  if (auto substituted = shell::Substitute_Alias(line, state.Alias_Table)) {
    line = std::move(*substituted);
    state.Line = text::Decode_Utf8(line);
  }
  const std::string name = shell::Command_Name(line);
  const char* path_list = std::getenv("PATH");
  // An unset PATH finds nothing: guessing a default list could run the wrong program.
  const auto full_path = path_list ? Search_Path(name, path_list) : std::nullopt;
  if (!full_path) {
    std::cout << "\nCommand not found\n";
    return;
  }
  const std::string text = shell::Command_Text(*full_path, name, line);
  state.Last_Status = Run_On_Terminal([&text] {
    return Run_Program(Interpreter, {"-c", text}, tty::Note_Program);
  });
}

void Dispatch(Shell_State& state, const std::string& line) {
  switch (shell::Recognize_Builtin(line)) {
    case shell::Builtin_Command::ALIAS:
      shell::Define(line, state.Alias_Table, std::cout);
      break;
    case shell::Builtin_Command::UNALIAS:
      shell::Undefine(line, state.Alias_Table);
      break;
    case shell::Builtin_Command::CD:
      Change_Directory_Locked(state, line);
      break;
    case shell::Builtin_Command::SET:
      shell::Define(line, state.Variable_Table, std::cout);
      break;
    case shell::Builtin_Command::UNSET:
      shell::Undefine(line, state.Variable_Table);
      break;
    case shell::Builtin_Command::PUT:
      shell::Put_Value(Put_Argument(line), state.Variable_Table, std::cout);
      std::cout << '\n';
      break;
    case shell::Builtin_Command::PUT_LINE:
      shell::Put_Value_Line(Put_Argument(line), state.Variable_Table, std::cout);
      break;
    case shell::Builtin_Command::NONE:
      Run_External(state, line);
      break;
  }
}

// Reports a failed last command, records the line and empties it.
void Tail(Shell_State& state) {
  if (state.Last_Status != 0) {
    // Ended by a line end: the next prompt starts with a carriage return and would
    // otherwise draw over the message before anyone could read it.
    std::cout << "Error: errno = " << (state.Last_Status >= 0 ? " " : "") << state.Last_Status
              << '\n';
  }
  state.History.Append(state.Line);
  state.History_Position = 0;
  state.Line.clear();
}

}  // namespace

int Run_On_Terminal(const std::function<int()>& run) {
  std::cout.flush();
  int status = 0;
  {
    const tty::Cooked_Mode cooked;
    status = run();
  }
  // Output the program left without a line end (printf foo, the terminal's ^C echo) would
  // be drawn over by the next frame's CR, or have a message glued to it. The width is
  // read now: the window may have changed meanwhile.
  if (const auto columns = tty::Columns(STDOUT_FILENO)) {
    std::cout << Partial_Line_Guard(*columns) << std::flush;
  }
  return status;
}

void Execute_Line(Shell_State& state) {
  // The line end before this left the frame's row: a resize must not clear over it.
  state.Frame_Columns = 0;
  try {
    const std::string line = text::Encode_Utf8(state.Line);
    if (line.empty()) {
      return;
    }
    if (shell::Is_Total_Line(line)) {
      // A lone sign is the start of a number still being typed: leave it be.
      if (line.size() > 1 && Change_Total(line, std::cout)) {
        state.Line.clear();
      }
    } else {
      Dispatch(state, line);
      Tail(state);
    }
  } catch (const std::exception& error) {
    // No failure may end the terminal thread: the line is abandoned with one line of
    // report, and the shell goes on with the next one.
    std::cout << "Error: " << error.what() << '\n';
    state.Line.clear();
  }
  std::cout.flush();
}

}  // namespace nk::main
