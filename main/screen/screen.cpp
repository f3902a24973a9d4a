#include "screen/screen.hpp"

#include <ctime>
#include <exception>

#include "nk-shared.hpp"
#include "nk-stamps.hpp"
#include "screen/frame.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/output.hpp"
#include "terminal/rows.hpp"
#include "terminal/tty.hpp"

namespace nk::main {

void Screen::Refresh(Sample_Use use) {
  inbox_.Call(use == Sample_Use::LAST ? Screen_Op::REFRESH_LAST : Screen_Op::REFRESH, Waits::BODY);
}

void Screen::Serve(std::latch& started) {
  started.count_down();
  while (auto accepted = inbox_.Accept()) {
    const Screen_Op op = accepted->Get();
    if (op == Screen_Op::STOP) {
      inbox_.Close();
      return;
    }
    try {
      Draw(op == Screen_Op::REFRESH_LAST ? Sample_Use::LAST : Sample_Use::NEW);
    } catch (const std::exception& error) {
      // A redraw that failed must not end the thread that every key waits for.
      Write_Whole(output_fd_, std::string("\nScreen error: ") + error.what() + "\n");
    }
  }
}

std::string Screen::Total_Image() {
  try {
    shown_total_ = shared::Image(total_.Read(Total_Lock_Wait));
  } catch (const shared::Lock_Busy&) {
    // Another process holds the lock (a stuck flock, a hung writer): every key would wait
    // for it, so the prompt shows what it showed last.
  } catch (const shared::File_Error&) {
    // A damaged total file must not take the prompt down with it, nor come back as the
    // total shown before the damage while another process holds the lock.
    shown_total_.clear();
  }
  return shown_total_.empty() ? Unknown_Total(state_.Total_Width) : shown_total_;
}

void Screen::Draw(Sample_Use use) {
  Semaphore_Guard hold(state_.Line_Lock);
  stamps::Stamp(stamps::Point::DRAW);
  if (auto usage = use == Sample_Use::LAST ? cpu_.Get_Usage() : cpu_.Sample()) {
    usage_ = std::move(*usage);
  }
  const std::string total = Total_Image();
  prompt_ = Build_Prompt(state_.Term.Kind, usage_, Utc_Time(std::time(nullptr)), total);
  std::string cleared;
  if (tty::Take_Window_Change() || !columns_read_) {
    const auto old_columns = columns_;
    columns_ = tty::Columns(output_fd_);
    columns_read_ = true;
    if (rewraps_ && old_columns && columns_) {
      cleared = Rewrapped_Rows_Clear(state_.Frame_Columns, *old_columns, *columns_);
    }
  }
  if (columns_) {
    // After a clearing the row is empty: nothing of the last frame is left to blank.
    Row_Frame frame = Build_Row_Frame(prompt_, state_.Line, *columns_,
                                      cleared.empty() ? state_.Frame_Columns : 0);
    if (!cleared.empty()) {
      frame.Bytes.insert(0, cleared);  // one write still; no copy on the usual frame
    }
    Write_Whole(output_fd_, frame.Bytes);
    state_.Frame_Columns = frame.Columns;
  } else {
    const std::size_t blanks = state_.Previous_Length + state_.Total_Width + 6;
    Write_Whole(output_fd_, Build_Frame(prompt_, blanks, state_.Line));
  }
  stamps::Stamp(stamps::Point::FRAME);
  // The width of what was drawn, not of a second read: the next frame must blank exactly
  // this image, even when another process changed the total meanwhile.
  state_.Total_Width = total.size();
  state_.Previous_Length = 0;
}

}  // namespace nk::main
