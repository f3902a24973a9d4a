// Holding a binary semaphore for a scope, so that no return or exception leaves
// Line_Lock or Directory_Lock taken and the other threads waiting for ever.
#pragma once

#include <semaphore>

namespace nk::main {

class Semaphore_Guard {
 public:
  explicit Semaphore_Guard(std::binary_semaphore& semaphore) : semaphore_(semaphore) {
    semaphore_.acquire();
  }
  ~Semaphore_Guard() { semaphore_.release(); }
  Semaphore_Guard(const Semaphore_Guard&) = delete;
  Semaphore_Guard& operator=(const Semaphore_Guard&) = delete;

 private:
  std::binary_semaphore& semaphore_;
};

}  // namespace nk::main
