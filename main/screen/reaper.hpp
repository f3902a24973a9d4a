// Reaps the children handed to it as they end. A sampler killed at its bound may live on
// past its SIGKILL in a wait inside the kernel (a stuck NFS home): nobody else waits for it
// then, and it would stay a zombie for the rest of the run. The thread blocks in poll on the
// children's process handles and on a wake-up descriptor; it starts with the first child
// and ends with the object at once, leaving children still alive to init after nelk.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "nk-descriptor.hpp"
#include "run/spawn.hpp"

namespace nk::main {

class Reaper {
 public:
  Reaper();
  ~Reaper();
  Reaper(const Reaper&) = delete;
  Reaper& operator=(const Reaper&) = delete;

  // Takes `child` over. Without a process handle (an old kernel) it is left to init.
  void Adopt(Bounded_Child child);

 private:
  void Serve();
  void Wake();

  std::mutex mutex_;
  std::vector<Bounded_Child> handed_;  // not yet taken by the thread
  bool stopping_ = false;
  Descriptor wake_;
  std::thread thread_;
};

}  // namespace nk::main
