// The builtins alias/set, unalias/unset, cd, put and put_line. Table builtins fail
// silently; cd reports a failed change through Directory_Error for the caller to print.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nk-shell.hpp"

namespace nk::shell {
namespace {

// The working directory, or the empty text when it cannot be named (it was removed, or
// it is too deep): cd must still work from there, and an empty Old_Pwd is already handled.
std::string Current_Directory_Or_Empty() {
  std::string buffer(256, '\0');
  while (true) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      buffer.resize(std::strlen(buffer.c_str()));
      return buffer;
    }
    if (errno != ERANGE || buffer.size() >= (1U << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// Enters `directory` or throws Directory_Error; nothing changes on failure.
void Enter(const std::string& directory) {
  // A NUL inside the name would make chdir enter a shorter, different path.
  if (directory.find('\0') != std::string::npos) {
    throw Directory_Error("directory name holds a NUL character");
  }
  if (::chdir(directory.c_str()) != 0) {
    throw Directory_Error(directory + ": " + std::strerror(errno));
  }
}

}  // namespace

void Define(std::string_view line, Attribut_Table& table, std::ostream& out) {
  const std::vector<std::string> words = Split_Words(line);
  if (words.size() > 2) return;
  if (words.size() == 2) {
    if (words[1].empty()) return;
    if (const auto assignment = Split_Assignment(line)) {
      table.Add(Create(assignment->Name, assignment->Value));  // full table: dropped silently
    }
    return;
  }
  for (const Attribut_Record& entry : table.Entries()) {
    out << entry.Name << '=' << Image(entry) << '\n';
  }
}

void Undefine(std::string_view line, Attribut_Table& table) {
  const std::vector<std::string> words = Split_Words(line);
  if (words.size() != 2 || words[1].empty()) return;
  table.Remove_First(words[1]);
}

std::string Change_Directory(std::string_view line, const std::string& old_pwd, std::ostream& out) {
  const std::vector<std::string> words = Split_Words(line);
  if (words.size() > 2) return old_pwd;
  if (words.size() < 2) {
    const char* home = std::getenv("HOME");
    std::string previous = Current_Directory_Or_Empty();
    Enter(home != nullptr ? home : "");
    return previous;
  }
  if (words[1].empty()) return old_pwd;
  if (words[1] == "-") {
    if (old_pwd.empty()) {
      out << "no old_pwd." << '\n';
      return old_pwd;
    }
    std::string previous = Current_Directory_Or_Empty();
    Enter(old_pwd);
    return previous;
  }
  std::string previous = Current_Directory_Or_Empty();
  Enter(words[1]);
  return previous;
}

void Put_Value(std::string_view name, const Attribut_Table& table, std::ostream& out) {
  for (const Attribut_Record& entry : table.Entries()) {
    if (entry.Name == name) out << Image(entry);
  }
}

void Put_Value_Line(std::string_view name, const Attribut_Table& table, std::ostream& out) {
  Put_Value(name, table, out);
  out << '\n';
}

}  // namespace nk::shell
