// nk::versions: the version as text.
#pragma once

#include <string>

#include "nk-versions.hpp"

namespace nk::versions {

// Major, Minor and Revision in decimal joined by `separator`, then Suffix: "2.2.0r".
std::string Version_Image(const Version_Type& version, char separator);

}  // namespace nk::versions
