// The one request primitive of the program's threads. A caller hands a request to the
// serving thread and blocks until the server has accepted it or, for a request with a
// body, until the server has finished the body; the server takes one request at a time,
// with or without a time-out. After Close no request is accepted and no caller blocks,
// so a thread that has ended can never hang the one that still calls it.
//
// The hand-off is one atomic word: the phase of the request under way, Closed, and a mark
// for each side asleep on the word. A side wakes the other only when that mark is set, and
// the woken side needs no lock to go on, so a request costs at most one wake each way.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

#include "threads/futex.hpp"

namespace nk::main {

// How long a caller waits: until its request is accepted, or until its body is done.
enum class Waits { ACCEPT, BODY };

template <typename Request>
class Rendezvous {
 public:
  // A request taken by the server. For a BODY request the caller is released when this
  // is Done or destroyed, so an exception in the body cannot leave the caller blocked.
  class Accepted {
   public:
    Accepted(Accepted&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)), request_(std::move(other.request_)) {}
    Accepted& operator=(Accepted&&) = delete;
    ~Accepted() { Done(); }

    // The request; for a BODY request, what is left here is handed back to the caller.
    Request& Get() { return request_; }
    // Releases a BODY caller now; nothing for an ACCEPT request or when done already.
    void Done() {
      if (owner_ != nullptr) {
        std::exchange(owner_, nullptr)->Finish(std::move(request_));
      }
    }

   private:
    friend class Rendezvous;
    Accepted(Rendezvous* owner, Request request) : owner_(owner), request_(std::move(request)) {}
    Rendezvous* owner_;  // null once the caller has been released
    Request request_;
  };

  Rendezvous() = default;
  Rendezvous(const Rendezvous&) = delete;
  Rendezvous& operator=(const Rendezvous&) = delete;

  // Blocks until the server accepts `request` (ACCEPT) or finishes its body (BODY; then
  // `request` holds what the server left in it). False, at once, when the server has
  // closed, or closes before accepting.
  bool Call(Request& request, Waits waits) {
    const std::lock_guard turn(callers_);  // later callers queue here, not on the word
    slot_ = &request;
    waits_ = waits;
    std::uint32_t seen = word_.load(std::memory_order_relaxed);
    do {
      if ((seen & Closed) != 0) {
        return false;
      }
    } while (!word_.compare_exchange_weak(seen, (seen & ~(Phase_Mask | Server_Sleeps)) | Pending,
                                          std::memory_order_acq_rel, std::memory_order_relaxed));
    if ((seen & Server_Sleeps) != 0) {
      futex::Wake(word_);
    }
    bool served = false;
    for (;;) {
      seen = word_.load(std::memory_order_acquire);
      const std::uint32_t phase = seen & Phase_Mask;
      if (phase == Done_Phase || ((seen & Closed) != 0 && phase == Pending)) {
        served = phase == Done_Phase;
        break;
      }
      if (Mark_Asleep(seen, Caller_Sleeps)) {
        futex::Wait(word_, seen);
      }
    }
    seen = word_.load(std::memory_order_relaxed);
    while (!word_.compare_exchange_weak(seen, seen & (Closed | Server_Sleeps),
                                        std::memory_order_relaxed)) {
    }
    return served;
  }
  bool Call(Request&& request, Waits waits) { return Call(request, waits); }

  // Blocks until a request arrives; nullopt once closed.
  std::optional<Accepted> Accept() { return Take(nullptr); }

  // As Accept, but also nullopt when no request arrives within `timeout`, counted from
  // this call. Sleeps until that deadline; it never polls.
  template <typename Rep, typename Period>
  std::optional<Accepted> Accept_For(std::chrono::duration<Rep, Period> timeout) {
    const timespec deadline = futex::Deadline(std::chrono::steady_clock::now() + timeout);
    return Take(&deadline);
  }

  // From now on nothing is accepted: waiting and later callers return false. A body
  // already accepted still releases its caller when done.
  void Close() {
    if ((word_.fetch_or(Closed, std::memory_order_acq_rel) & (Caller_Sleeps | Server_Sleeps)) !=
        0) {
      futex::Wake(word_);
    }
  }

  bool Is_Closed() { return (word_.load(std::memory_order_acquire) & Closed) != 0; }

 private:
  // The phase of the request under way: no caller (0); placed, not accepted; body under
  // way; the caller may leave.
  static constexpr std::uint32_t Pending = 1;
  static constexpr std::uint32_t Running = 2;
  static constexpr std::uint32_t Done_Phase = 3;
  static constexpr std::uint32_t Phase_Mask = 3;
  static constexpr std::uint32_t Closed = 4;
  static constexpr std::uint32_t Caller_Sleeps = 8;
  static constexpr std::uint32_t Server_Sleeps = 16;

  // Sets `mark` in the word last seen as `seen`; false when the word changed meanwhile.
  // On success `seen` is the value to sleep on.
  bool Mark_Asleep(std::uint32_t& seen, std::uint32_t mark) {
    if ((seen & mark) != 0) {
      return true;
    }
    const std::uint32_t marked = seen | mark;
    if (!word_.compare_exchange_strong(seen, marked, std::memory_order_acquire)) {
      return false;
    }
    seen = marked;
    return true;
  }

  // Waits for a pending request and claims it; nullopt once closed or past `deadline`.
  std::optional<Accepted> Take(const timespec* deadline) {
    bool timed_out = false;
    std::uint32_t seen = word_.load(std::memory_order_acquire);
    for (;;) {
      if ((seen & Closed) != 0) {
        return std::nullopt;
      }
      if ((seen & Phase_Mask) == Pending) {
        // Claimed before the request is read: a caller turned away by Close leaves at once.
        if (word_.compare_exchange_weak(seen, (seen & ~(Phase_Mask | Server_Sleeps)) | Running,
                                        std::memory_order_acquire)) {
          break;
        }
        continue;
      }
      if (timed_out) {
        return std::nullopt;
      }
      if (Mark_Asleep(seen, Server_Sleeps) && !futex::Wait(word_, seen, deadline)) {
        timed_out = true;
        word_.fetch_and(~Server_Sleeps, std::memory_order_relaxed);
      }
      seen = word_.load(std::memory_order_acquire);
    }
    if (waits_ == Waits::ACCEPT) {
      Accepted accepted(nullptr, *slot_);  // a copy: the caller's object goes away now
      Release_Caller();
      return accepted;
    }
    return Accepted(this, *slot_);
  }

  void Finish(Request&& result) {
    *slot_ = std::move(result);
    Release_Caller();
  }

  void Release_Caller() {
    std::uint32_t seen = word_.load(std::memory_order_relaxed);
    while (!word_.compare_exchange_weak(seen, (seen & ~(Phase_Mask | Caller_Sleeps)) | Done_Phase,
                                        std::memory_order_release, std::memory_order_relaxed)) {
    }
    if ((seen & Caller_Sleeps) != 0) {
      futex::Wake(word_);
    }
  }

  std::mutex callers_;
  futex::Word word_{0};
  Waits waits_ = Waits::ACCEPT;
  Request* slot_ = nullptr;  // the caller's request; valid until the caller leaves
};

}  // namespace nk::main
