// Holding Line_Lock or Directory_Lock for a scope, so that no return or exception leaves
// it taken and the other threads waiting for ever. Line_Lock is always taken first: the
// screen samples under Directory_Lock while it holds Line_Lock, so a thread that held
// Directory_Lock and then waited for Line_Lock would stop both for good.
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
