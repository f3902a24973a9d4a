// nk::errors: the errors shared by the modules of the program.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace nk::errors {

inline constexpr int Usage_Status = 2;  // the command line or a configuration is wrong
inline constexpr int File_Status = 1;   // a file cannot be used

// Every error that ends the run before the key loop: what() is the text the user sees
// (one or more lines, no line end), reported once by the start-up.
class Startup_Error : public std::exception {
 public:
  Startup_Error(std::string message, int exit_status)
      : message_(std::move(message)), exit_status_(exit_status) {}
  const char* what() const noexcept override { return message_.c_str(); }
  int Exit_Status() const { return exit_status_; }
  // A line of context under the message, added on the way up.
  void Add_Line(std::string_view line) {
    message_ += '\n';
    message_ += line;
  }

 private:
  std::string message_;
  int exit_status_;
};

// A switch that takes a value was given without one.
class Spec_Error : public Startup_Error {
 public:
  explicit Spec_Error(std::string message) : Startup_Error(std::move(message), Usage_Status) {}
};

// A fixed limit of the implementation was reached. Declared for completeness; nothing
// raises it.
class Impl_Limit : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nk::errors
