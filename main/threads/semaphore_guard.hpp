// Holding a lock for a scope, so that no return or exception leaves
// Line_Lock or Directory_Lock taken and the other threads waiting for ever.
#pragma once

#include "threads/futex.hpp"

namespace nk::main {

class Semaphore_Guard {
 public:
  explicit Semaphore_Guard(futex::Lean_Lock& semaphore) : semaphore_(semaphore) {
    semaphore_.acquire();
  }
  ~Semaphore_Guard() { semaphore_.release(); }
  Semaphore_Guard(const Semaphore_Guard&) = delete;
  Semaphore_Guard& operator=(const Semaphore_Guard&) = delete;

 private:
  futex::Lean_Lock& semaphore_;
};

}  // namespace nk::main
