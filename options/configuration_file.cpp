// The configuration file reader: one option per line, first character the switch letter.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "nk-descriptor.hpp"
#include "nk-options.hpp"

namespace nk::options {
namespace {

std::string Where(std::string_view name, std::size_t line) {
  return "configuration file " + std::string(name) + ", line " + std::to_string(line);
}

// The lines of `content`; a line feed ends a line, and a last line without one counts.
std::vector<std::string_view> Split_Lines(std::string_view content) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < content.size();) {
    const auto end = content.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  // Two line feeds at the end leave an empty last line: editors commonly add it, so it
  // ends the file instead of failing the run.
  if (lines.size() >= 2 && lines.back().empty()) {
    lines.pop_back();
  }
  return lines;
}

[[noreturn]] void Cannot(const std::string& name, const char* doing) {
  throw File_Open_Error("configuration file " + name + ": " + doing + ": " + std::strerror(errno));
}

}  // namespace

Option_Array Parse_Configuration(std::string_view content, std::string_view name) {
  auto options = New_Option_Array();
  std::size_t number = 0;
  for (const auto bytes : Split_Lines(content)) {
    ++number;
    const auto line = Decode_Utf8(bytes, Where(name, number));
    if (line.empty()) {
      throw Configuration_Error(Where(name, number) + ": empty line");
    }
    const auto* row = parameters::Find_Switch(line.front());
    if (row == nullptr) {
      continue;  // not an option letter: a note or anything else
    }
    auto& option = options[parameters::Slot(row->Option)];
    option.Present = true;
    if (row->Has_Value) {
      if (line.size() == 1) {
        throw Configuration_Error(Where(name, number) + ": " + row->Switch +
                                  " needs a value right after it");
      }
      option.Value = line.substr(1);
    }
  }
  return options;
}

Option_Array Read_Configuration_File(const std::string& name) {
  const Descriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) {
    Cannot(name, "cannot open");
  }
  std::string content;
  char buffer[4096];
  for (;;) {
    const auto n = Read_Some(file.Get(), buffer, sizeof buffer);
    if (n < 0) {
      Cannot(name, "cannot read");  // a directory fails here (EISDIR)
    }
    if (n == 0) {
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return Parse_Configuration(content, name);
}

}  // namespace nk::options
