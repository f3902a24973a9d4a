// The configuration file reader: one option per line, first character the switch letter.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "nk-descriptor.hpp"
#include "nk-options.hpp"

namespace nk::options {
namespace {

// A line longer than this is no option: values are terminal names, numbers and file
// names, and the longest path Linux opens is 4096 bytes. It bounds the memory a file that
// never ends a line can take (/dev/zero through a pipe, say).
constexpr std::size_t Longest_Line = std::size_t{64} * 1024;
// Windows editors may start a UTF-8 file with it; left in, it would hide the first line's
// letter, and that option would be skipped without a word.
constexpr std::string_view Byte_Order_Mark = "\xEF\xBB\xBF";

std::string Where(std::string_view name, std::size_t line) {
  return "configuration file " + std::string(name) + ", line " + std::to_string(line);
}

[[noreturn]] void Cannot(const std::string& name, const char* doing) {
  throw File_Open_Error("configuration file " + name + ": " + doing + ": " + std::strerror(errno));
}

// Regular files and pipes (nelk -F <(...)) only: a directory cannot be read, and a device
// may block at the open or never end (/dev/zero).
void Check_Kind(const std::string& name, const struct stat& status) {
  if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode)) {
    throw File_Open_Error("configuration file " + name + ": not a regular file or a pipe");
  }
}

// Takes a file's bytes in pieces of any size and keeps only the line being read, so that
// memory stays bounded whatever the file's length. A line feed ends a line, a carriage
// return before it included; a last line without one counts.
class Line_Reader {
 public:
  explicit Line_Reader(std::string_view name) : name_(name), options_(New_Option_Array()) {}

  void Feed(std::string_view bytes) {
    while (!bytes.empty()) {
      const auto end = bytes.find('\n');
      const auto piece = bytes.substr(0, end);
      if (line_.size() + piece.size() > Longest_Line + 1) {  // + 1: a carriage return
        Too_Long();
      }
      line_.append(piece);
      if (end == std::string_view::npos) {
        return;
      }
      End_Line();
      bytes.remove_prefix(end + 1);
    }
  }

  Option_Array Finish() {
    if (!line_.empty()) {
      End_Line();
    }
    // One empty line at the end (two line feeds) ends the file: editors commonly add it.
    // Alone in the file it is still the empty line it looks like.
    if (empty_line_ == 1) {
      Empty_Line();
    }
    return options_;
  }

 private:
  [[noreturn]] void Too_Long() const {
    throw Configuration_Error(Where(name_, number_ + 1) + ": longer than " +
                              std::to_string(Longest_Line) + " bytes");
  }
  [[noreturn]] void Empty_Line() const {
    throw Configuration_Error(Where(name_, empty_line_) + ": empty line");
  }

  void End_Line() {
    std::string_view bytes = line_;
    if (number_ == 0 && bytes.starts_with(Byte_Order_Mark)) {
      bytes.remove_prefix(Byte_Order_Mark.size());
    }
    if (bytes.ends_with('\r')) {
      bytes.remove_suffix(1);
    }
    if (bytes.size() > Longest_Line) {
      Too_Long();
    }
    ++number_;
    // An empty line is only known to be wrong once another line follows it.
    if (empty_line_ != 0) {
      Empty_Line();
    }
    if (bytes.empty()) {
      empty_line_ = number_;
    } else {
      Parse_Line(bytes);
    }
    line_.clear();
  }

  void Parse_Line(std::string_view bytes) {
    const auto line = Decode_Utf8(bytes, Where(name_, number_));
    const auto* row = parameters::Find_Switch(line.front());
    if (row == nullptr) {
      return;  // not an option letter: a note or anything else
    }
    auto& option = options_[parameters::Slot(row->Option)];
    option.Present = true;
    if (row->Has_Value) {
      if (line.size() == 1) {
        throw Configuration_Error(Where(name_, number_) + ": " + row->Switch +
                                  " needs a value right after it");
      }
      option.Value = line.substr(1);
    }
  }

  std::string_view name_;
  Option_Array options_;
  std::string line_;
  std::size_t number_ = 0;      // of the last line ended
  std::size_t empty_line_ = 0;  // the number of an empty line, while it is the last
};

}  // namespace

Option_Array Parse_Configuration(std::string_view content, std::string_view name) {
  Line_Reader reader(name);
  reader.Feed(content);
  return reader.Finish();
}

Option_Array Read_Configuration_File(const std::string& name) {
  // Looked at before the open too: opening a device may already block or act.
  struct stat status {};
  if (::stat(name.c_str(), &status) == 0) {
    Check_Kind(name, status);
  }
  const Descriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!file.Valid()) {
    Cannot(name, "cannot open");
  }
  if (::fstat(file.Get(), &status) != 0) {
    Cannot(name, "cannot read");
  }
  Check_Kind(name, status);  // what was opened, should the name have changed meanwhile
  Line_Reader reader(name);
  char buffer[4096];
  for (;;) {
    const auto n = Read_Some(file.Get(), buffer, sizeof buffer);
    if (n < 0) {
      Cannot(name, "cannot read");
    }
    if (n == 0) {
      return reader.Finish();
    }
    reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
  }
}

}  // namespace nk::options
