// Line_Lock or Directory_Lock held for a scope. Line_Lock is always taken first: the
// screen samples under Directory_Lock while holding Line_Lock, so the other order deadlocks.
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
