#include "screen/deamon.hpp"

namespace nk::main {

void Deamon::Pause() {
  inbox_.Call(Deamon_Op::PAUSE, Waits::ACCEPT);
}

void Deamon::Resume() {
  inbox_.Call(Deamon_Op::RESUME, Waits::ACCEPT);
}

void Deamon::Serve(std::latch& started) {
  started.count_down();
  bool running = !start_paused_;
  for (;;) {
    auto accepted = running ? inbox_.Accept_For(period_) : inbox_.Accept();
    if (!accepted) {
      if (inbox_.Is_Closed()) {
        return;
      }
      redraw_();  // a whole period without a request
      continue;
    }
    switch (accepted->Get()) {
      case Deamon_Op::STOP:
        inbox_.Close();
        return;
      case Deamon_Op::PAUSE:
        running = false;
        break;
      case Deamon_Op::RESUME:
        running = true;
        break;
    }
  }
}

}  // namespace nk::main
