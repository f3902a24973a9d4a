#include "screen/reaper.hpp"

#include <poll.h>

#include <cstdint>
#include <iterator>
#include <system_error>

#include "sync/request_server.hpp"

namespace nk::main {

Reaper::~Reaper() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  if (thread_.joinable()) {
    Wake();
    thread_.join();
  }
}

void Reaper::Adopt(Bounded_Child child) {
  if (!child.Handle.Valid() || !wake_.Valid()) {
    return;
  }
  const std::lock_guard lock(mutex_);
  handed_.push_back(std::move(child));
  try {
    if (!thread_.joinable()) {
      thread_ = Start_Named_Thread("reaper", [this](std::latch& started) {
        started.count_down();
        Serve();
      });
    }
    Wake();
  } catch (const std::system_error&) {
    handed_.clear();  // no thread: left to init
  }
}

void Reaper::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wake_.Get(), &one, sizeof one);
}

void Reaper::Serve() {
  std::vector<Bounded_Child> children;
  for (;;) {
    {
      const std::lock_guard lock(mutex_);
      if (stopping_) {
        return;
      }
      std::move(handed_.begin(), handed_.end(), std::back_inserter(children));
      handed_.clear();
    }
    std::erase_if(children, [](const Bounded_Child& child) {
      return Wait_Within(child, std::chrono::milliseconds(0));
    });
    std::vector<pollfd> ready{{wake_.Get(), POLLIN, 0}};  // and the children's handles
    for (const Bounded_Child& child : children) {
      ready.push_back({child.Handle.Get(), POLLIN, 0});
    }
    if (::poll(ready.data(), ready.size(), -1) > 0 && (ready[0].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto taken = ::read(wake_.Get(), &count, sizeof count);
    }
  }
}

}  // namespace nk::main
