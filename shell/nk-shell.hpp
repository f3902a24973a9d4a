// nk::shell: the shell language. Typed entries for variables and aliases, the text
// operations that split and recognise command lines, the builtins, the containers the
// terminal thread keeps, and file-name completion. No terminal, no threads.
//
// Texts: the typed line and found names are wide (UTF-32); everything that runs, splits
// or names files is UTF-8, a byte that is not UTF-8 kept as a raw byte (see nk-text.hpp)
// so that a name reaches the file system exactly as it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "nk-text.hpp"

namespace nk::shell {

using text::Wide_String;

// ---- Typed values -------------------------------------------------------------------

enum class Value_Type : std::uint8_t { NIL, BOO, INT, FLT, STR };

struct All_Types {
  bool Boolean_Value = false;
  std::int32_t Integer_Value = 0;
  float Float_Value = 0.0F;
  std::optional<std::string> String_Value;
};

// One alias or variable.
struct Attribut_Record : All_Types {
  std::string Name;
  Value_Type Value_Kind = Value_Type::NIL;
};

// The entry named `name` holding `value` typed by the type rule. Never fails. A number
// beyond the float range is an infinity of its sign (image " +Inf" / "-Inf").
Attribut_Record Create(std::string_view name, std::string_view value);
std::string Entry_Name(const Attribut_Record& entry);
std::string Image(const Attribut_Record& entry);

// ---- Containers ---------------------------------------------------------------------

// Bounded list of lines; appending to a full set drops the oldest line. Lines are kept as
// UTF-8, a quarter of their wide size for most text; invalid bytes come back as they went.
class Wide_String_Set {
 public:
  // Throws std::invalid_argument when `size` is 0 or above 132072.
  explicit Wide_String_Set(std::size_t size);
  // Stores a copy at the end; returns its 1-based index (the new Count).
  std::size_t Append(std::u32string_view item);
  void Clear();
  std::size_t Size() const { return size_; }
  std::size_t Count() const { return items_.size(); }
  // 1-based, 1 <= index <= Count(); throws std::out_of_range otherwise.
  Wide_String Item(std::size_t index) const;

 private:
  std::size_t size_;
  std::deque<std::string> items_;
};

// Fixed-capacity table of entries, in definition order, without gaps.
class Attribut_Table {
 public:
  explicit Attribut_Table(std::size_t size);
  std::size_t Size() const { return size_; }
  std::size_t Count() const { return items_.size(); }
  // False (and nothing stored) when the table is full.
  bool Add(Attribut_Record entry);
  // Removes the first entry named exactly `name`; false when there is none.
  bool Remove_First(std::string_view name);
  std::span<const Attribut_Record> Entries() const { return items_; }

 private:
  std::size_t size_;
  std::vector<Attribut_Record> items_;
};

enum class Result_Kind : std::uint8_t { FILE, SEARCH, SPAWN };

using Wide_String_Array = std::vector<Wide_String>;

struct Result_Record {
  explicit Result_Record(Result_Kind kind) : Kind(kind) {}
  virtual ~Result_Record() = default;
  Result_Record(const Result_Record&) = delete;
  Result_Record& operator=(const Result_Record&) = delete;

  const Result_Kind Kind;
  // Search results: element 1 is always the empty text, matches follow in the order found.
  std::unique_ptr<Wide_String_Array> Found_Names;
  std::int32_t Tag = 0;  // carried, never read
  bool Marked = false;   // carried, never read
};

struct File_Result_Record : Result_Record {
  File_Result_Record() : Result_Record(Result_Kind::FILE) {}
};

struct Search_Result_Record : Result_Record {
  Search_Result_Record() : Result_Record(Result_Kind::SEARCH) {}
  std::shared_ptr<std::string> Pattern_Text = std::make_shared<std::string>();
  std::shared_ptr<std::string> Directory_Text;
  std::shared_ptr<std::string> Last_Name;
};

struct Spawn_Result_Record : Result_Record {
  Spawn_Result_Record() : Result_Record(Result_Kind::SPAWN) {}
  std::int32_t Process_Id = 0;
  Wide_String Command;
  std::shared_ptr<Wide_String_Array> Arguments;
  Wide_String Output;
  bool Finished = false;
  std::int32_t Exit_Code = 0;
  bool Failed = false;
};

// A Spawn_Result_Record whose Found_Names holds just the empty text.
std::unique_ptr<Spawn_Result_Record> New_Spawn_Result();

// ---- Text operations ----------------------------------------------------------------

enum class Builtin_Command : std::uint8_t { NONE, ALIAS, UNALIAS, CD, SET, UNSET, PUT, PUT_LINE };

Builtin_Command Recognize_Builtin(std::string_view line);
std::string Command_Name(std::string_view line);
std::vector<std::string> Split_Words(std::string_view line);

struct Assignment {
  std::string Name;
  std::string Value;
};
std::optional<Assignment> Split_Assignment(std::string_view line);
std::string Remove_Quotes(std::string_view text);
std::string Strip_Dot_Slash(std::string_view name);
// A line that changes the running total: its first character is "+" or "-".
constexpr bool Is_Total_Line(std::string_view line) {
  return !line.empty() && (line.front() == '+' || line.front() == '-');
}

// Quoting for the command interpreter: the one rule for program paths, completed file
// names and the sampler's command. The characters that sh may read as something other than
// themselves in an unquoted word: blank, tab, line feed, both quotes, backslash, "$",
// backquote, ";", "&", "|", "<", ">", "(", ")", "*", "?", "[", "#", "~", "=", "%", "{", "}".
inline constexpr std::string_view Shell_Special = " \t\n'\"\\$`;&|<>()*?[#~=%{}";

// `text` as one single-quoted word: no character in it is special to the shell; a "'"
// inside is written '\''.
std::string Shell_Quote(std::string_view text);
// `text` unchanged when it holds no Shell_Special character (any other byte, non-ASCII
// ones included, stands for itself), else Shell_Quote(text). The empty text is quoted,
// so that it stays one word.
std::string Quote_If_Special(std::string_view text);
// `text` as one word that Split_Words gives back exactly, for the builtins' lines: blank,
// double quote and backslash each behind a backslash, nothing else changed ("$" and ";"
// mean nothing to a builtin).
std::string Word_Quote(std::string_view text);

// The text handed to "/usr/bin/sh -c" for an external command line: `full_path` (quoted
// only when the shell would misread it) standing for the program name `name` at the head
// of `line`, followed by one blank and the rest of the line after the blank that ends the
// name; the path alone when the line is the name alone.
std::string Command_Text(std::string_view full_path, std::string_view name, std::string_view line);

// The first word as alias lookup sees it: the text before the first blank when a blank
// comes before the last non-blank character, else the line without trailing blanks.
std::string_view Alias_Word(std::string_view line);

// The line rebuilt from the first alias (in definition order) named exactly like its
// first word, with every double quote removed; nullopt when no alias matches.
std::optional<std::string> Substitute_Alias(std::string_view line, const Attribut_Table& aliases);

// ---- Builtins -----------------------------------------------------------------------

// alias / set: define, or list the table on `out` when alone. Silent on bad input.
void Define(std::string_view line, Attribut_Table& table, std::ostream& out);
// unalias / unset: remove the first entry of that name. Silent.
void Undefine(std::string_view line, Attribut_Table& table);

// A change of directory that failed; the caller reports "Directory not found".
class Directory_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// cd: returns the new Old_Pwd; writes "no old_pwd." on `out` for `cd -` without one.
std::string Change_Directory(std::string_view line, const std::string& old_pwd, std::ostream& out);
// The images of every variable named exactly `name`, no separator, no line end.
void Put_Value(std::string_view name, const Attribut_Table& table, std::ostream& out);
void Put_Value_Line(std::string_view name, const Attribut_Table& table, std::ostream& out);

// ---- Completion ---------------------------------------------------------------------

// Any failure of a completion: an ill-formed pattern, a directory that cannot be read.
class Completion_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Completion_Answer {
  std::optional<Wide_String> New_Line;  // present when exactly one entry matched
  std::unique_ptr<Spawn_Result_Record> Result;
};

// Completes the last word of `line`; a line of blanks has no word and finds nothing.
// The working directory (for a word without "/") is taken literally, never as a pattern.
// Throws Completion_Error (ill-formed word, unreadable directory, no working directory).
Completion_Answer Complete_Last_Word(std::string_view line);
// Appends every path under `directory` (components are patterns) matching `pattern`.
// Throws Completion_Error, leaving `result` as it was.
void Search_Directory(std::string_view directory, std::string_view pattern, Result_Record& result);

}  // namespace nk::shell
