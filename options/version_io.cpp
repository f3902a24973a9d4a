#include "nk-versions-version_io.hpp"

namespace nk::versions {

std::string Version_Image(const Version_Type& version, char separator) {
  return std::to_string(version.Major) + separator + std::to_string(version.Minor) + separator +
         std::to_string(version.Revision) + version.Suffix;
}

}  // namespace nk::versions
