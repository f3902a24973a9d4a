// The one request primitive of the program's threads. A caller hands a request to the
// serving thread and blocks until the server has accepted it or, for a request with a
// body, until the server has finished the body; the server takes one request at a time,
// with or without a time-out. After Close no request is accepted and no caller blocks,
// so a thread that has ended can never hang the one that still calls it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

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
    {
      std::unique_lock lock(mutex_);
      caller_turn_.wait(lock, [this] { return closed_ || phase_ == Phase::FREE; });
      if (closed_) {
        return false;
      }
      slot_ = &request;
      waits_ = waits;
      phase_ = Phase::PENDING;
    }
    // Notified with the mutex free: a thread woken while it is held would only wake to
    // sleep again on the mutex, and every redraw pays each such switch.
    server_turn_.notify_one();
    bool served = false;
    {
      std::unique_lock lock(mutex_);
      caller_turn_.wait(
          lock, [this] { return phase_ == Phase::DONE || (closed_ && phase_ == Phase::PENDING); });
      served = phase_ == Phase::DONE;
      slot_ = nullptr;
      phase_ = Phase::FREE;
    }
    caller_turn_.notify_all();  // the next caller may place its request
    return served;
  }
  bool Call(Request&& request, Waits waits) { return Call(request, waits); }

  // Blocks until a request arrives; nullopt once closed.
  std::optional<Accepted> Accept() {
    std::unique_lock lock(mutex_);
    server_turn_.wait(lock, [this] { return closed_ || phase_ == Phase::PENDING; });
    return Take(lock);
  }

  // As Accept, but also nullopt when no request arrives within `timeout`, counted from
  // this call. Blocks on the condition variable with a deadline; it never polls.
  template <typename Rep, typename Period>
  std::optional<Accepted> Accept_For(std::chrono::duration<Rep, Period> timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    server_turn_.wait_until(lock, deadline, [this] { return closed_ || phase_ == Phase::PENDING; });
    return Take(lock);
  }

  // From now on nothing is accepted: waiting and later callers return false. A body
  // already accepted still releases its caller when done.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    caller_turn_.notify_all();
    server_turn_.notify_all();
  }

  bool Is_Closed() {
    std::lock_guard lock(mutex_);
    return closed_;
  }

 private:
  // FREE: no caller; PENDING: placed, not accepted; RUNNING: body under way; DONE: the
  // caller may leave.
  enum class Phase { FREE, PENDING, RUNNING, DONE };

  // With `lock` held: the pending request, or nullopt when closed or none came. Leaves
  // the mutex free.
  std::optional<Accepted> Take(std::unique_lock<std::mutex>& lock) {
    if (closed_ || phase_ != Phase::PENDING) {
      return std::nullopt;
    }
    if (waits_ == Waits::ACCEPT) {
      phase_ = Phase::DONE;
      Accepted accepted(nullptr, *slot_);  // a copy: the caller's object goes away now
      lock.unlock();
      caller_turn_.notify_all();
      return accepted;
    }
    phase_ = Phase::RUNNING;
    return Accepted(this, *slot_);
  }

  void Finish(Request&& result) {
    {
      std::lock_guard lock(mutex_);
      *slot_ = std::move(result);
      phase_ = Phase::DONE;
    }
    caller_turn_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable caller_turn_;
  std::condition_variable server_turn_;
  Phase phase_ = Phase::FREE;
  Waits waits_ = Waits::ACCEPT;
  Request* slot_ = nullptr;  // the caller's request; valid until the caller leaves
  bool closed_ = false;
};

}  // namespace nk::main
