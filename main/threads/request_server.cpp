#include "threads/request_server.hpp"

#include <pthread.h>

namespace nk::main {

std::thread Start_Named_Thread(const char* name, std::function<void(std::latch&)> body) {
  std::latch started(1);
  std::thread thread([name, &started, body = std::move(body)] {
    ::pthread_setname_np(::pthread_self(), name);
    body(started);
  });
  started.wait();
  return thread;
}

}  // namespace nk::main
