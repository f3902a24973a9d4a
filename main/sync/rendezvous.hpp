// The one request primitive of the program's threads: a caller blocks until the server
// accepts its request or, for a request with a body, finishes the body. After Close
// nothing is accepted and no caller blocks, so an ended thread never hangs its callers.
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
  // A taken request. A BODY caller is released by Done or the destructor, so an exception
  // in the body cannot leave it blocked.
  class Accepted {
   public:
    Accepted(Accepted&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)), request_(std::move(other.request_)) {}
    ~Accepted() { Done(); }

    // For a BODY request, what is left here goes back to the caller.
    Request& Get() { return request_; }
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

  // False, at once, when the server has closed or closes before accepting.
  bool Call(Request& request, Waits waits) {
    std::unique_lock lock(mutex_);
    callers_.wait(lock, [this] { return closed_ || call_ == nullptr; });  // one at a time
    if (closed_) {
      return false;
    }
    Call_Slot call{&request, waits};
    call_ = &call;
    // Woken with the mutex free, the server does not wake only to wait for it.
    lock.unlock();
    server_.notify_one();
    lock.lock();
    callers_.wait(lock, [&call] { return call.Status >= State::SERVED; });
    return call.Status == State::SERVED;
  }
  bool Call(Request&& request, Waits waits) { return Call(request, waits); }

  // nullopt once closed.
  std::optional<Accepted> Accept() {
    std::unique_lock lock(mutex_);
    server_.wait(lock, [this] { return closed_ || Placed(); });
    return Take(lock);
  }

  // Also nullopt when no request arrives within `timeout`.
  template <typename Rep, typename Period>
  std::optional<Accepted> Accept_For(std::chrono::duration<Rep, Period> timeout) {
    std::unique_lock lock(mutex_);
    server_.wait_for(lock, timeout, [this] { return closed_ || Placed(); });
    return Take(lock);
  }

  // A body already accepted still releases its caller when done.
  void Close() {
    {
      const std::lock_guard lock(mutex_);
      closed_ = true;
      if (call_ != nullptr && call_->Status == State::PLACED) {
        call_->Status = State::REFUSED;
        call_ = nullptr;
      }
    }
    server_.notify_all();
    callers_.notify_all();
  }

  bool Is_Closed() {
    const std::lock_guard lock(mutex_);
    return closed_;
  }

 private:
  enum class State { PLACED, TAKEN, SERVED, REFUSED };
  // On the caller's stack: the caller leaves only once its Status is SERVED or REFUSED.
  struct Call_Slot {
    Request* Held;
    Waits How;
    State Status = State::PLACED;
  };

  bool Placed() const { return call_ != nullptr && call_->Status == State::PLACED; }

  std::optional<Accepted> Take(std::unique_lock<std::mutex>& lock) {
    if (closed_ || !Placed()) {
      return std::nullopt;
    }
    call_->Status = State::TAKEN;
    if (call_->How == Waits::BODY) {
      // The caller blocks until Done hands a result back, so its object may be moved from.
      return Accepted(this, std::move(*call_->Held));
    }
    Accepted accepted(nullptr, *call_->Held);  // a copy: the caller's object goes away now
    Release(lock);
    return accepted;
  }

  void Finish(Request&& result) {
    std::unique_lock lock(mutex_);
    *call_->Held = std::move(result);
    Release(lock);
  }

  void Release(std::unique_lock<std::mutex>& lock) {
    call_->Status = State::SERVED;
    call_ = nullptr;
    lock.unlock();
    callers_.notify_all();  // the caller released, and those queued behind it
  }

  std::mutex mutex_;
  std::condition_variable server_;   // a request placed, or closed
  std::condition_variable callers_;  // a call ended, or closed
  Call_Slot* call_ = nullptr;        // placed or taken, until its caller is released
  bool closed_ = false;
};

}  // namespace nk::main
