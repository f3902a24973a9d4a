// A test that needs a thread blocked reads from /proc that it is, instead of hoping so.
#pragma once

#include <sys/syscall.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

// The thread of this process named `name`; 0 when there is none.
inline pid_t Thread_Named(const std::string& name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string comm;
    std::getline(std::ifstream(task.path() / "comm"), comm);
    if (comm == name) return std::stoi(task.path().filename());
  }
  return 0;
}

// Blocks until thread `tid` (once set) sleeps in a futex wait on a word among the `size`
// bytes at `object`, or on any word for a null `object`. True when that wait has a deadline.
inline bool Wait_Asleep_In(const std::atomic<pid_t>& tid, const void* object = nullptr,
                           std::size_t size = 0) {
  const auto low = reinterpret_cast<std::uintptr_t>(object);
  for (;; std::this_thread::yield()) {
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long call = -1;
    std::uintptr_t word = 0, operation = 0, value = 0, deadline = 0;
    file >> call >> std::hex >> word >> operation >> value >> deadline;
    if (file && call == SYS_futex && (object == nullptr || (word >= low && word < low + size))) {
      return deadline != 0;
    }
  }
}
