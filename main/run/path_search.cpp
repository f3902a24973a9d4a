#include "run/path_search.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace nk::main {
namespace {

bool Is_Executable_File(const std::string& path) {
  struct stat status {};
  // AT_EACCESS: the effective ids decide, as they will for the exec itself.
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

}  // namespace

std::optional<std::string> Search_Path(std::string_view name, std::string_view path_list) {
  if (name.find('/') != std::string_view::npos) {
    std::string given(name);
    return Is_Executable_File(given) ? std::optional(given) : std::nullopt;
  }
  for (std::size_t start = 0; !name.empty() && start <= path_list.size();) {
    const std::size_t colon = std::min(path_list.find(':', start), path_list.size());
    std::string candidate(colon == start ? "." : path_list.substr(start, colon - start));
    candidate += candidate.back() == '/' ? "" : "/";
    candidate += name;
    if (Is_Executable_File(candidate)) {
      return candidate;
    }
    start = colon + 1;
  }
  return std::nullopt;
}

}  // namespace nk::main
