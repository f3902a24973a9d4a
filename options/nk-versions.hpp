// nk::versions: the program's version, and as text.
#pragma once

#include <cstdint>
#include <string>

namespace nk::versions {

struct Version_Type {
  std::int32_t Major = 0;  // none of the three is negative
  std::int32_t Minor = 0;
  std::int32_t Revision = 0;
  char Suffix = ' ';
};

inline constexpr Version_Type Version{2, 2, 0, 'r'};

// Major, Minor and Revision in decimal joined by `separator`, then Suffix: "2.2.0r".
inline std::string Version_Image(const Version_Type& version, char separator) {
  return std::to_string(version.Major) + separator + std::to_string(version.Minor) + separator +
         std::to_string(version.Revision) + version.Suffix;
}

}  // namespace nk::versions
