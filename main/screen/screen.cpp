#include "screen/screen.hpp"

#include <ctime>
#include <exception>
#include <utility>

#include "nk-shared.hpp"
#include "nk-stamps.hpp"
#include "screen/frame.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/output.hpp"
#include "terminal/rows.hpp"
#include "terminal/tty.hpp"

namespace nk::main {

void Screen::Serve(std::latch& started) {
  started.count_down();
  while (auto accepted = inbox_.Accept()) {
    const std::optional<Sample_Use> use = accepted->Get();
    if (!use) {
      inbox_.Close();
      return;
    }
    try {
      Draw(*use);
    } catch (const std::exception& error) {
      // A redraw that failed must not end the thread that every key waits for.
      Write_Whole(output_fd_, std::string("\nScreen error: ") + error.what() + "\n");
    }
  }
}

std::string Screen::Total_Image() {
  try {
    shown_total_ = shared::Image(shared::Read_Total_Sum(Total_Lock_Wait));
  } catch (const shared::Lock_Busy&) {
    // A stuck flock or a hung writer: rather than every key waiting, the last total.
  } catch (const shared::File_Error&) {
    // Nor may a damaged file come back as the total shown before the damage.
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
  const std::string prompt = Build_Prompt(state_.Term.Kind, usage_, std::time(nullptr), total);
  std::string cleared;
  if (tty::Take_Window_Change() || !columns_read_) {
    const auto old_columns = std::exchange(columns_, tty::Columns(output_fd_));
    columns_read_ = true;
    if (rewraps_ && old_columns && columns_) {
      cleared = Rewrapped_Rows_Clear(state_.Frame_Columns, *old_columns, *columns_);
    }
  }
  if (columns_) {
    // After a clearing the row is empty: nothing of the last frame is left to blank.
    Row_Frame frame =
        Build_Row_Frame(prompt, state_.Line, *columns_, cleared.empty() ? state_.Frame_Columns : 0);
    frame.Bytes.insert(0, cleared);  // one write still
    Write_Whole(output_fd_, frame.Bytes);
    state_.Frame_Columns = frame.Columns;
  } else {
    const std::size_t blanks = state_.Previous_Length + state_.Total_Width + 6;
    Write_Whole(output_fd_, Build_Frame(prompt, blanks, state_.Line));
  }
  stamps::Stamp(stamps::Point::FRAME);
  // The width drawn, not a second read's: the next frame blanks exactly this image.
  state_.Total_Width = total.size();
  state_.Previous_Length = 0;
}

}  // namespace nk::main
