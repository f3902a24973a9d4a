#include "threads/request_server.hpp"

#include <pthread.h>

#include "terminal/tty.hpp"

namespace nk::main {

std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body) {
  std::latch started(1);
  std::thread thread([name, &started, body = std::move(body)] {
    ::pthread_setname_np(::pthread_self(), name);
    tty::Take_Crash_Stack();
    body(started);
  });
  started.wait();
  return thread;
}

}  // namespace nk::main
