// File-name completion: the last word of the line becomes a directory part, whose
// components are wildcard patterns, and a pattern matched against whole path names.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "nk-descriptor.hpp"
#include "nk-shell.hpp"
#include "pattern.hpp"

namespace nk::shell {

namespace {

std::string Shown(const std::string& path) {
  return path.empty() ? "/" : path;
}

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
  throw Completion_Error(std::string(what) + " " + Shown(path) + ": " +
                         std::error_code(error, std::generic_category()).message());
}

// The directory at `path` ("" is the root), or none when the path names no directory:
// that ends a branch of the walk silently, while a directory that refuses to be read
// is an error, so the user never mistakes a locked directory for an empty one.
Descriptor Open_Directory(const std::string& path) {
  Descriptor dir(::open(Shown(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
  if (dir.Valid()) return dir;
  if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == ENAMETOOLONG) {
    return dir;
  }
  Fail("cannot open directory", path, errno);
}

bool Is_Dot_Or_Dot_Dot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Calls `visit` with every entry of `dir` but "." and "..", in the order delivered.
// Each call has a buffer of its own: `visit` may walk into a subdirectory meanwhile.
// Read with getdents64 straight into that buffer: readdir takes the stream's lock for
// every entry, which in a process with threads costs two atomic operations a name.
template <typename Visit>
void For_Each_Entry(const Descriptor& dir, const std::string& path, Visit visit) {
  std::vector<char> buffer(std::size_t{32} * 1024);
  for (;;) {
    const ssize_t count = ::getdents64(dir.Get(), buffer.data(), buffer.size());
    // A read that fails halfway must not pass for the end of the directory.
    if (count < 0) Fail("cannot read directory", path, errno);
    if (count == 0) return;
    for (ssize_t at = 0; at < count;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
      if (!Is_Dot_Or_Dot_Dot(entry->d_name)) visit(*entry);
      at += entry->d_reclen;
    }
  }
}

// The entry's type comes with the directory; only links and file systems that give
// no type cost a stat.
bool Is_Directory(const dirent64& entry, const std::string& path) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A component that can match only itself is opened directly instead of being looked
// for in its parent. An empty one or one holding a NUL byte names no entry.
bool Opens_Directly(const Pattern& component) {
  const std::string& text = component.Text();
  return component.Is_Literal() && !text.empty() && text.find('\0') == std::string::npos;
}

// One search: every component and the final pattern are compiled before any directory
// is read, so an ill-formed word fails the same way whatever is on the disk.
class Walk {
 public:
  Walk(std::string_view components, std::string_view pattern, Wide_String_Array& found)
      : final_(pattern), found_(found) {
    while (!components.empty()) {
      const std::size_t slash = components.find('/');
      components_.emplace_back(components.substr(0, slash));
      components.remove_prefix(slash == std::string_view::npos ? components.size() : slash + 1);
    }
  }

  // Searches below `root` ("" for "/", else a path without a trailing "/"); when
  // anything fails, the found list is left as it was.
  void Run(const std::string& root) {
    const std::size_t before = found_.size();
    try {
      From(root, 0);
    } catch (...) {
      found_.resize(before);
      throw;
    }
  }

 private:
  // Follows the components from index `next` below the directory `reached`, depth
  // first, and lists every directory reached after the last one.
  void From(std::string reached, std::size_t next) {
    while (next < components_.size() && Opens_Directly(components_[next])) {
      reached += '/';
      reached += components_[next++].Text();
    }
    if (next == components_.size()) return List(reached);
    const auto dir = Open_Directory(reached);
    if (!dir.Valid()) return;
    const Pattern& component = components_[next];
    For_Each_Entry(dir, reached, [&](const dirent64& entry) {
      if (!component.Matches(entry.d_name)) return;
      std::string path = reached + '/' + entry.d_name;
      if (Is_Directory(entry, path)) From(std::move(path), next + 1);
    });
  }

  // The directory part is read once for all entries; each entry costs only its name.
  void List(const std::string& reached) {
    const auto dir = Open_Directory(reached);
    if (!dir.Valid()) return;
    Pattern::State after_directory = final_.Start();
    final_.Advance(after_directory, reached + '/', scratch_);
    For_Each_Entry(dir, reached, [&](const dirent64& entry) {
      if (final_.Matches_After(after_directory, entry.d_name, work_, scratch_))
        found_.push_back(text::Decode_Utf8(reached + '/' + entry.d_name));
    });
  }

  Pattern final_;
  std::vector<Pattern> components_;
  Wide_String_Array& found_;
  Pattern::State work_;
  Pattern::State scratch_;
};

Wide_String_Array& Found_Names_Of(Result_Record& result) {
  if (!result.Found_Names) result.Found_Names = std::make_unique<Wide_String_Array>(1);
  return *result.Found_Names;
}

// The working directory without its trailing "/" ("" for the root); a search cannot
// start without it.
std::string Current_Directory_Or_Throw() {
  std::error_code error;
  std::string path = std::filesystem::current_path(error).string();
  if (error || path.empty() || path[0] != '/') {
    throw Completion_Error("cannot determine the current directory: " +
                           (error ? error.message() : std::string("not an absolute path")));
  }
  if (path.back() == '/') path.pop_back();
  return path;
}

// "*", then `part`, then "*": the name part is looked for anywhere in the path name.
std::string Anywhere(std::string_view part) {
  std::string pattern;
  pattern.reserve(part.size() + 2);
  pattern += '*';
  pattern += part;
  pattern += '*';
  return pattern;
}

}  // namespace

void Search_Directory(std::string_view directory, std::string_view pattern, Result_Record& result) {
  Wide_String_Array& found = Found_Names_Of(result);
  if (directory.empty()) {
    [[maybe_unused]] const Walk walk("", pattern, found);  // an ill-formed one fails all the same
    return;
  }
  std::string_view root = ".";
  if (directory.front() == '/') {
    root = "";
    directory.remove_prefix(1);
  } else if (directory.size() > 2 && directory.starts_with("./")) {
    directory.remove_prefix(2);
  } else if (directory.size() > 3 && directory.starts_with("../")) {
    root = "..";
    directory.remove_prefix(3);
  }
  Walk(directory, pattern, found).Run(std::string(root));
}

Completion_Answer Complete_Last_Word(std::string_view line) {
  Completion_Answer answer{std::nullopt, New_Spawn_Result()};
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return answer;  // only blanks: no word
  const std::size_t last = line.find_last_not_of(' ');
  std::size_t space = line.rfind(' ', last);
  if (space != std::string_view::npos && space < first) space = std::string_view::npos;
  const std::size_t start = space == std::string_view::npos ? first : space + 1;
  const std::string_view word = line.substr(start, last + 1 - start);

  const std::size_t slash = word.rfind('/');
  if (slash == std::string_view::npos) {
    // The working directory is taken as it is: read as a pattern, a directory named
    // "a[b" would break every completion and one named "x*" would search its siblings.
    Walk walk("", Anywhere(word), *answer.Result->Found_Names);
    walk.Run(Current_Directory_Or_Throw());
  } else {
    // A word ending in "/" gives "**", which matches what "*" matches: every entry.
    Search_Directory(word.substr(0, slash + 1), Anywhere(word.substr(slash + 1)), *answer.Result);
  }

  const Wide_String_Array& found = *answer.Result->Found_Names;
  if (found.size() == 2) {
    const std::size_t kept = space == std::string_view::npos ? 0 : space + 1;
    // Written as the line's command will read it, so that Enter acts on that one file: a
    // builtin splits its own words, anything else goes to sh. A lone word is the command.
    const std::string name = Strip_Dot_Slash(text::Encode_Utf8(found[1]));
    const bool builtin = kept > 0 && Recognize_Builtin(line) != Builtin_Command::NONE;
    answer.New_Line = text::Decode_Utf8(std::string(line.substr(0, kept)) +
                                        (builtin ? Word_Quote(name) : Quote_If_Special(name)));
  }
  return answer;
}

}  // namespace nk::shell
