// The first of -h, -v, -i, -a, -r, -t that is set decides the run; a valid -N only sets
// the terminal kind. Exit status when the run ends here: 0 after a one-shot action; 2 for
// a usage error (a bad switch or configuration file, an unknown terminal kind, a bad
// number, a total out of range); 1 when a file cannot be used. Every failure ends the
// run: going on to the key loop would hide it.
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

using errors::File_Status;
using errors::Startup_Error;
using errors::Usage_Status;
using interfaces::Interface_Record;
using parameters::Option_Kind;

constexpr Startup_Outcome Ends(int status) {
  return {false, status};
}

// The option's value as 8-bit text; nullopt for a character above U+00FF, which narrowing
// would turn into a blank and so let "€5" pass for 5 or "€xterm" for xterm.
std::optional<std::string> Value_Text(const parameters::Parameter_Record& record) {
  const auto value = record.Value.value_or(U"");
  return text::Is_Latin1(value) ? std::optional(text::Narrow(value)) : std::nullopt;
}

std::string Shown_Value(const parameters::Parameter_Record& record) {
  return text::Encode_Utf8(record.Value.value_or(U""));
}

// `complaint` about the value of `option`, a usage error.
[[noreturn]] void Bad_Value(Option_Kind option, const char* complaint,
                            const parameters::Parameter_Record& record) {
  throw Startup_Error(std::string("-") + parameters::Describe(option)->Switch + ": " + complaint +
                          " from -999999.99 to 999999.99: " + Shown_Value(record),
                      Usage_Status);
}

// INITIALIZE, ADD, REMOVE or TOTAL.
Startup_Outcome Total_Action(Option_Kind option, const parameters::Parameter_Record& record) {
  constexpr const char* Not_A_Number = "not a number";
  constexpr const char* Out_Of_Range = "the new total would not be";
  try {
    if (option == Option_Kind::TOTAL) {
      std::cout << shared::Image(shared::Read_Total_Sum()) << '\n';
      return Ends(0);
    }
    const auto text = Value_Text(record);
    if (!text) {
      Bad_Value(option, Not_A_Number, record);
    }
    const shared::Hundredths value = shared::To_Hundredths(*text);
    if (option == Option_Kind::INITIALIZE) {
      if (value < shared::Total_First || value > shared::Total_Last) {
        Bad_Value(option, Not_A_Number, record);
      }
      shared::Write_Total_Sum(value);
    } else if (option == Option_Kind::ADD) {
      shared::Add_To_Total_Sum(value);
    } else {
      // The negation of the smallest count does not fit; its sum is out of range anyway.
      if (value == std::numeric_limits<shared::Hundredths>::min()) {
        Bad_Value(option, Out_Of_Range, record);
      }
      shared::Add_To_Total_Sum(-value);
    }
    return Ends(0);
  } catch (const shared::Conversion_Error&) {
    Bad_Value(option, Not_A_Number, record);
  } catch (const shared::Range_Error&) {
    Bad_Value(option, Out_Of_Range, record);
  } catch (const shared::File_Error& error) {
    throw Startup_Error(error.what(), File_Status);
  }
}

Startup_Outcome Decide(const Interface_Record& main_interface, Terminal& terminal) {
  const auto term_name = main_interface.Get_Parameter(Option_Kind::TERM_NAME);
  if (main_interface.Get_Parameter(Option_Kind::HELP).Set) {
    main_interface.Put_Help(std::cout);
    return Ends(0);
  }
  if (main_interface.Get_Parameter(Option_Kind::VERSION).Set) {
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
