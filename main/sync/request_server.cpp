#include "sync/request_server.hpp"

#include <pthread.h>

#include <memory>

#include "terminal/tty.hpp"

namespace nk::main {

std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body) {
  // Shared: wait() may return while count_down is still inside the latch.
  auto started = std::make_shared<std::latch>(1);
  std::thread thread([name, started, body = std::move(body)] {
    ::pthread_setname_np(::pthread_self(), name);
    tty::Take_Crash_Stack();
    body(*started);
  });
  started->wait();
  return thread;
}

}  // namespace nk::main
