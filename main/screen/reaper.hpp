// Reaps the children handed to it as they end: a sampler killed at its bound may outlive
// its SIGKILL in the kernel (a stuck NFS home), and would stay a zombie for the whole run.
// The thread starts with the first child; at the end, children still alive go to init.
#pragma once

#include <sys/eventfd.h>

#include <mutex>
#include <thread>
#include <vector>

#include "nk-descriptor.hpp"
#include "run/spawn.hpp"

namespace nk::main {

class Reaper {
 public:
  Reaper() = default;
  ~Reaper();
  Reaper(const Reaper&) = delete;
  Reaper& operator=(const Reaper&) = delete;

  // Without a process handle (an old kernel) `child` is left to init.
  void Adopt(Bounded_Child child);

 private:
  void Serve();
  void Wake();

  std::mutex mutex_;
  std::vector<Bounded_Child> handed_;  // not yet taken by the thread
  bool stopping_ = false;
  Descriptor wake_{::eventfd(0, EFD_CLOEXEC)};
  std::thread thread_;
};

}  // namespace nk::main
