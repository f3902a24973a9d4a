// Everything written here goes to std::cout, flushed before a child starts and at the
// end, so nothing comes out of order with the child's output or the next prompt.
#include "run/execute.hpp"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "nk-shared.hpp"
#include "nk-shell.hpp"
#include "nk-text.hpp"
#include "run/path_search.hpp"
#include "run/spawn.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/rows.hpp"
#include "terminal/tty.hpp"

namespace nk::main {
namespace {

// Adds the value of a total line (longer than a sign) to the stored total. A bad value,
// or a value or sum out of range, writes "-: error" instead; a file that cannot be used,
// its one-line error. False when nothing changed.
bool Change_Total(std::string_view line) {
  try {
    const shared::Hundredths value = shared::To_Hundredths(line);
    // The value alone must lie in range too, not only the sum: "+999999999" on a negative
    // total would otherwise be accepted.
    if (value >= shared::Total_First && value <= shared::Total_Last) {
      shared::Add_To_Total_Sum(value);
      return true;
    }
  } catch (const shared::Conversion_Error&) {
  } catch (const shared::Range_Error&) {
  } catch (const shared::File_Error& error) {
    std::cout << error.what() << '\n';  // not the user's typing: the file and the reason
    return false;
  }
  std::cout << "-: error\n";
  return false;
}

// The argument of put and put_line: after the first blank, or the whole line.
std::string_view Put_Argument(std::string_view line) {
  const std::size_t blank = line.find(' ');
  return blank == std::string_view::npos ? line : line.substr(blank + 1);
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
  state.Last_Status = Run_On_Terminal([&text] { return Run_Program("/usr/bin/sh", {"-c", text}); });
}

void Dispatch(Shell_State& state, const std::string& line) {
  using enum shell::Builtin_Command;
  switch (shell::Recognize_Builtin(line)) {
    case ALIAS:
      return shell::Define(line, state.Alias_Table, std::cout);
    case UNALIAS:
      return shell::Undefine(line, state.Alias_Table);
    case CD:
      try {
        const Semaphore_Guard guard(state.Directory_Lock);
        state.Term.Old_Pwd = shell::Change_Directory(line, state.Term.Old_Pwd, std::cout);
      } catch (const shell::Directory_Error&) {
        std::cout << "Directory not found\n";
      }
      return;
    case SET:
      return shell::Define(line, state.Variable_Table, std::cout);
    case UNSET:
      return shell::Undefine(line, state.Variable_Table);
    case PUT:
      shell::Put_Value(Put_Argument(line), state.Variable_Table, std::cout);
      std::cout << '\n';
      return;
    case PUT_LINE:
      return shell::Put_Value_Line(Put_Argument(line), state.Variable_Table, std::cout);
    case NONE:
      return Run_External(state, line);
  }
}

}  // namespace

int Run_On_Terminal(const std::function<int()>& run) {
  std::cout.flush();
  const int status = [&run] {
    const tty::Cooked_Mode cooked;
    return run();
  }();
  // Output the program left without a line end (printf foo, the ^C echo) would be drawn
  // over by the next frame's CR. The width is read now: the window may have changed.
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
      if (line.size() > 1 && Change_Total(line)) {
        state.Line.clear();
      }
    } else {
      Dispatch(state, line);
      if (state.Last_Status != 0) {
        // With a line end: the next prompt starts with a CR and would draw over it.
        std::cout << "Error: errno = " << (state.Last_Status >= 0 ? " " : "") << state.Last_Status
                  << '\n';
      }
      state.History.Append(state.Line);
      state.History_Position = 0;
      state.Line.clear();
    }
  } catch (const std::exception& error) {
    // No failure may end the terminal thread: the line is abandoned with one line.
    std::cout << "Error: " << error.what() << '\n';
    state.Line.clear();
  }
  std::cout.flush();
}

}  // namespace nk::main
