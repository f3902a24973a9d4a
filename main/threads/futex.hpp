// The two futex operations that the rendezvous and the lean lock sleep and wake with.
// Each sleeper first marks itself in the word it sleeps on, so a waker that finds no mark
// makes no system call: a wake that finds nobody costs a switch into the kernel for
// nothing, and every redraw used to pay several.
#pragma once

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>

namespace nk::main::futex {

using Word = std::atomic<std::uint32_t>;
static_assert(sizeof(Word) == sizeof(std::uint32_t) && Word::is_always_lock_free);

// The monotonic clock's time at `moment`, as the kernel takes an absolute deadline.
template <typename Duration>
timespec Deadline(std::chrono::time_point<std::chrono::steady_clock, Duration> moment) {
  const auto since =
      std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch());
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(since.count() / 1'000'000'000);
  deadline.tv_nsec = static_cast<long>(since.count() % 1'000'000'000);
  return deadline;
}

// Sleeps while `word` holds `expected`, until woken or, given a deadline on the monotonic
// clock, until then. False only when the deadline passed; any other return (a wake, a
// changed word, a signal) is for the caller to look again.
inline bool Wait(Word& word, std::uint32_t expected, const timespec* deadline = nullptr) {
  const long result =
      ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_BITSET_PRIVATE,
                expected, deadline, nullptr, FUTEX_BITSET_MATCH_ANY);
  return result == 0 || errno != ETIMEDOUT;
}

// Wakes up to `count` threads asleep on `word`.
inline void Wake(Word& word, int count = INT_MAX) {
  ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, count);
}

// A binary semaphore whose release wakes only when a thread is waiting (0 free, 1 taken,
// 2 taken and waited for). std::binary_semaphore::release always wakes.
class Lean_Lock {
 public:
  explicit Lean_Lock(bool free = true) : word_(free ? 0 : 1) {}
  Lean_Lock(const Lean_Lock&) = delete;
  Lean_Lock& operator=(const Lean_Lock&) = delete;

  void acquire() {
    std::uint32_t seen = 0;
    if (word_.compare_exchange_strong(seen, 1, std::memory_order_acquire)) {
      return;
    }
    if (seen != 2) {
      seen = word_.exchange(2, std::memory_order_acquire);
    }
    while (seen != 0) {
      Wait(word_, 2);
      seen = word_.exchange(2, std::memory_order_acquire);
    }
  }
  bool try_acquire() {
    std::uint32_t seen = 0;
    return word_.compare_exchange_strong(seen, 1, std::memory_order_acquire);
  }
  void release() {
    if (word_.exchange(0, std::memory_order_release) == 2) {
      Wake(word_, 1);
    }
  }

 private:
  Word word_;
};

}  // namespace nk::main::futex
