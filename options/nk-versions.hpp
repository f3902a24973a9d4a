// nk::versions: the program's version.
#pragma once

#include <cstdint>

namespace nk::versions {

struct Version_Type {
  std::int32_t Major = 0;  // none of the three is negative
  std::int32_t Minor = 0;
  std::int32_t Revision = 0;
  char Suffix = ' ';
};

inline constexpr Version_Type Version{2, 2, 0, 'r'};

}  // namespace nk::versions
