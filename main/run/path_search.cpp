#include "run/path_search.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nk::main {

bool Is_Executable_File(const std::string& path) {
  struct stat status {};
  // AT_EACCESS: the effective ids decide, as they will for the exec itself.
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::optional<std::string> Search_Path(std::string_view name, std::string_view path_list) {
  if (name.empty()) {
    return std::nullopt;
  }
  if (name.find('/') != std::string_view::npos) {
    std::string given(name);
    return Is_Executable_File(given) ? std::optional(given) : std::nullopt;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = path_list.find(':', start);
    const std::string_view directory =
        path_list.substr(start, colon == std::string_view::npos ? colon : colon - start);
    std::string candidate = directory.empty() ? std::string(".") : std::string(directory);
    if (candidate.back() != '/') {
      candidate += '/';
    }
    candidate += name;
    if (Is_Executable_File(candidate)) {
      return candidate;
    }
    if (colon == std::string_view::npos) {
      return std::nullopt;
    }
    start = colon + 1;
  }
}

}  // namespace nk::main
