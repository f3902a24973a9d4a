// nk::errors: the errors shared by the modules of the program.
#pragma once

#include <stdexcept>

namespace nk::errors {

// A switch that takes a value was given without one.
class Spec_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fixed limit of the implementation was reached. Declared for completeness; nothing
// raises it.
class Impl_Limit : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nk::errors
