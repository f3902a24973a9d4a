// The start-up options: help, version, the forced terminal kind, and the one-shot
// actions on the persistent total. The first of -h, -v, -i, -a, -r, -t that is set decides
// the run; a valid -N only sets the terminal kind and lets the testing go on.
//
// Exit status when the run ends here: 0 after a one-shot action; 2 for a usage error (a
// bad switch, a missing value, a malformed configuration file, an unknown terminal kind,
// a value that is not a number or a total out of range); 1 when a file cannot be used.
// Every failure ends the run: going on to the key loop would hide it.
#include "startup_options.hpp"

#include <algorithm>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "nk-interfaces.hpp"
#include "nk-shared.hpp"
#include "nk-text.hpp"
#include "nk-versions.hpp"

namespace nk::main {
namespace {

using interfaces::Interface_Record;
using parameters::Option_Kind;

using errors::File_Status;
using errors::Startup_Error;
using errors::Usage_Status;

constexpr Startup_Outcome Ends(int status) {
  return {false, status};
}

std::string Switch_Of(Option_Kind option) {
  return std::string("-") + parameters::Describe(option)->Switch;
}

// The option's value as 8-bit text; nullopt when it holds a character above U+00FF, which
// narrowing would turn into a blank and so let "€5" pass for 5 or "€xterm" for xterm.
std::optional<std::string> Value_Text(const parameters::Parameter_Record& record) {
  const auto value = record.Value.value_or(U"");
  if (!text::Is_Latin1(value)) {
    return std::nullopt;
  }
  return text::Narrow(value);
}

std::string Shown_Value(const parameters::Parameter_Record& record) {
  return text::Encode_Utf8(record.Value.value_or(U""));
}

[[noreturn]] void Not_A_Number(const std::string& name,
                               const parameters::Parameter_Record& record) {
  throw Startup_Error(name + ": not a number from -999999.99 to 999999.99: " + Shown_Value(record),
                      Usage_Status);
}

[[noreturn]] void Sum_Out_Of_Range(const std::string& name,
                                   const parameters::Parameter_Record& record) {
  throw Startup_Error(
      name + ": the new total would not be from -999999.99 to 999999.99: " + Shown_Value(record),
      Usage_Status);
}

shared::Hundredths Number_Of(const std::string& name, const parameters::Parameter_Record& record) {
  const auto text = Value_Text(record);
  if (!text) {
    Not_A_Number(name, record);
  }
  try {
    return shared::To_Hundredths(*text);
  } catch (const shared::Conversion_Error&) {
    Not_A_Number(name, record);
  }
}

// Runs the total action of `option` (INITIALIZE, ADD, REMOVE or TOTAL); the shared
// module's errors become start-up errors here.
Startup_Outcome Total_Action(Option_Kind option, const parameters::Parameter_Record& record) {
  const auto name = Switch_Of(option);
  try {
    if (option == Option_Kind::TOTAL) {
      std::cout << shared::Image(shared::Read_Total_Sum()) << '\n';
      return Ends(0);
    }
    const shared::Hundredths value = Number_Of(name, record);
    if (option == Option_Kind::INITIALIZE) {
      if (value < shared::Total_First || value > shared::Total_Last) {
        Not_A_Number(name, record);
      }
      shared::Write_Total_Sum(value);
    } else if (option == Option_Kind::ADD) {
      shared::Add_To_Total_Sum(value);
    } else {
      // The negation of the smallest count does not fit; its sum is out of range anyway.
      if (value == std::numeric_limits<shared::Hundredths>::min()) {
        Sum_Out_Of_Range(name, record);
      }
      shared::Add_To_Total_Sum(-value);
    }
    return Ends(0);
  } catch (const shared::Range_Error&) {
    Sum_Out_Of_Range(name, record);
  } catch (const shared::File_Error& error) {
    throw Startup_Error(error.what(), File_Status);
  }
}

Startup_Outcome Decide(const Interface_Record& main_interface, Terminal& terminal) {
  const auto help = main_interface.Get_Parameter(Option_Kind::HELP);
  const auto version = main_interface.Get_Parameter(Option_Kind::VERSION);
  const auto term_name = main_interface.Get_Parameter(Option_Kind::TERM_NAME);
  if (help.Set) {
    main_interface.Put_Help(std::cout);
    return Ends(0);
  }
  if (version.Set) {
    std::cout << versions::Version_Image(versions::Version, '.') << '\n';
    return Ends(0);
  }
  if (term_name.Set) {
    const auto text = Value_Text(term_name);
    const auto kind = text ? To_Terminal_Kind(*text) : std::nullopt;
    if (!kind) {
      // "Uncknow" as users and their scripts have always seen it.
      throw Startup_Error("Uncknow terminal name : " + Shown_Value(term_name), Usage_Status);
    }
    terminal.Kind = *kind;
  }
  for (const auto option :
       {Option_Kind::INITIALIZE, Option_Kind::ADD, Option_Kind::REMOVE, Option_Kind::TOTAL}) {
    const auto record = main_interface.Get_Parameter(option);
    if (record.Set) {
      return Total_Action(option, record);
    }
  }
  return {};
}

}  // namespace

Startup_Outcome Run_Startup_Options(int argc, char** argv, Terminal& terminal) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  Interface_Record main_interface;
  Startup_Outcome outcome;
  try {
    main_interface.Initialize(arguments);
    outcome = Decide(main_interface, terminal);
  } catch (const Startup_Error& error) {
    std::cout << error.what() << '\n';
    outcome = Ends(error.Exit_Status());
  }
  // What follows may write to the descriptor directly; nothing of ours may trail it.
  std::cout.flush();
  return outcome;
}

}  // namespace nk::main
