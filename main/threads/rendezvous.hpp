// The one request primitive of the program's threads. A caller hands a request to the
// serving thread and blocks until the server has accepted it or, for a request with a
// body, until the server has finished the body; the server takes one request at a time,
// with or without a time-out. After Close no request is accepted and no caller blocks,
// so a thread that has ended can never hang the one that still calls it.
//
// The hand-off is two atomic words, one for each side to sleep on, each with a mark set by
// its sleeper. A side wakes the other only when that mark is set, and the woken side needs
// no lock to go on, so a request costs at most one wake each way. Before sleeping each side
// watches its word for a few microseconds: keys typed ahead follow each other faster than
// a sleep and a wake, and a paste would otherwise pay both for every character.
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
    const std::lock_guard turn(callers_);  // later callers queue here, not on the words
    slot_ = &request;
    waits_ = waits;
    reply_.store(Waiting, std::memory_order_relaxed);
    std::uint32_t seen = word_.load(std::memory_order_relaxed);
    do {
      if ((seen & Closed) != 0) {
        return false;
      }
    } while (!word_.compare_exchange_weak(seen, (seen & ~(Phase_Mask | Server_Sleeps)) | Pending,
                                          std::memory_order_release, std::memory_order_relaxed));
    if ((seen & Server_Sleeps) != 0) {
      futex::Wake(word_);
    }
    Spin_Until([this] { return reply_.load(std::memory_order_relaxed) >= Served; });
    for (;;) {
      std::uint32_t reply = reply_.load(std::memory_order_acquire);
      if (reply == Served || reply == Refused) {
        return reply == Served;
      }
      if (reply == Caller_Sleeps ||
          reply_.compare_exchange_strong(reply, Caller_Sleeps, std::memory_order_relaxed)) {
        futex::Wait(reply_, Caller_Sleeps);
      }
    }
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
    const std::uint32_t seen = word_.fetch_or(Closed, std::memory_order_acq_rel);
    if ((seen & Phase_Mask) == Pending) {
      Reply(Refused);  // placed but not claimed: the server can no longer claim it
    }
    if ((seen & Server_Sleeps) != 0) {
      futex::Wake(word_);
    }
  }

  bool Is_Closed() { return (word_.load(std::memory_order_acquire) & Closed) != 0; }

 private:
  // word_: the phase of the request under way, Closed, and the server's sleep mark; only
  // the server sleeps on it.
  static constexpr std::uint32_t Pending = 1;  // placed, not claimed
  static constexpr std::uint32_t Running = 2;  // claimed by the server
  static constexpr std::uint32_t Phase_Mask = 3;
  static constexpr std::uint32_t Closed = 4;
  static constexpr std::uint32_t Server_Sleeps = 8;
  // reply_: how the caller's request ended; only the caller sleeps on it, so neither side
  // wakes early to find the other's word changed.
  static constexpr std::uint32_t Waiting = 0;
  static constexpr std::uint32_t Caller_Sleeps = 1;
  static constexpr std::uint32_t Served = 2;
  static constexpr std::uint32_t Refused = 3;

  // Waits for a pending request and claims it; nullopt once closed or past `deadline`.
  std::optional<Accepted> Take(const timespec* deadline) {
    bool timed_out = false;
    Spin_Until(
        [this] { return (word_.load(std::memory_order_relaxed) & (Pending | Closed)) != 0; });
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
      if ((seen & Server_Sleeps) == 0 &&
          !word_.compare_exchange_strong(seen, seen | Server_Sleeps, std::memory_order_acquire)) {
        continue;
      }
      if (!futex::Wait(word_, seen | Server_Sleeps, deadline)) {
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

  // The claimed request is over: the phase goes back to none, the caller is told.
  void Release_Caller() {
    std::uint32_t seen = word_.load(std::memory_order_relaxed);
    while (!word_.compare_exchange_weak(seen, seen & ~Phase_Mask, std::memory_order_relaxed)) {
    }
    Reply(Served);
  }

  // Watches for `ready` about as long as a futex sleep and wake would take together.
  template <typename Ready>
  static void Spin_Until(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(8);
    for (unsigned turn = 1; !ready(); ++turn) {
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
      if (turn % 16 == 0 && std::chrono::steady_clock::now() >= until) {
        return;
      }
    }
  }

  void Reply(std::uint32_t reply) {
    if (reply_.exchange(reply, std::memory_order_release) == Caller_Sleeps) {
      futex::Wake(reply_);
    }
  }

  std::mutex callers_;
  futex::Word word_{0};
  futex::Word reply_{Waiting};
  Waits waits_ = Waits::ACCEPT;
  Request* slot_ = nullptr;  // the caller's request; valid until the caller leaves
};

}  // namespace nk::main
