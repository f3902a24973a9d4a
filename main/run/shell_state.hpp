// The terminal thread's state: the line, the history, the tables and the locks that the
// background threads share with it.
#pragma once

#include <cstddef>
#include <memory>
#include <semaphore>

#include "nelk.hpp"
#include "nk-shell.hpp"

namespace nk::main {

inline constexpr std::size_t Table_Capacity = 2048;

struct Shell_State {
  explicit Shell_State(Terminal& terminal) : Term(terminal) {}

  Terminal& Term;

  // Guarded by Line_Lock.
  shell::Wide_String Line;
  std::size_t Previous_Length = 0;
  std::size_t Total_Width = 0;
  std::size_t Frame_Columns = 0;  // of the last one-row frame drawn

  // Terminal thread only.
  shell::Wide_String_Set History{Table_Capacity};  // newest last
  std::size_t History_Count() const { return History.Count(); }
  std::size_t History_Position = 0;
  shell::Attribut_Table Alias_Table{Table_Capacity};
  shell::Attribut_Table Variable_Table{Table_Capacity};
  int Last_Status = 0;
  std::unique_ptr<shell::Spawn_Result_Record> Completion_Result;

  // Taken through Semaphore_Guard, Line_Lock before Directory_Lock.
  std::binary_semaphore Line_Lock{1};
  std::binary_semaphore Directory_Lock{1};
};

}  // namespace nk::main
