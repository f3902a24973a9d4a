#include "screen/deamon.hpp"

namespace nk::main {

void Deamon::Serve(std::latch& started) {
  started.count_down();
  bool running = !start_paused_;
  for (;;) {
    auto accepted = running ? inbox_.Accept_For(period_) : inbox_.Accept();
    if (accepted && accepted->Get() == Deamon_Op::STOP) {
      inbox_.Close();
      return;
    }
    if (accepted) {
      running = accepted->Get() == Deamon_Op::RESUME;
    } else if (!inbox_.Is_Closed()) {
      redraw_();  // a whole period without a request
    } else {
      return;
    }
  }
}

}  // namespace nk::main
