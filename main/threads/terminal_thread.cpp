#include "threads/terminal_thread.hpp"

#include <cstdlib>
#include <exception>
#include <utility>

#include "nk-stamps.hpp"
#include "nk-text.hpp"
#include "run/execute.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/output.hpp"
#include "terminal/rows.hpp"
#include "terminal/tty.hpp"

namespace nk::main {

bool Terminal_Thread::Send(Terminal_Request request) {
  return inbox_.Call(request, Waits_For_Body(request.Kind) ? Waits::BODY : Waits::ACCEPT);
}

void Terminal_Thread::Run(std::latch& started) {
  try {
    state_ = std::make_unique<Shell_State>(terminal_);
    cpu_ = std::make_unique<Cpu_Process>(state_->Directory_Lock);
    screen_ = std::make_unique<Screen>(*state_, *cpu_, settings_.Output_Fd, settings_.Rewraps);
    // Paused until the key loop's first request: a prompt drawn earlier would land in the
    // middle of what the start-up options print.
    deamon_ =
        std::make_unique<Deamon>([this] { screen_->Refresh(); }, settings_.Redraw_Period, true);
    cpu_->Start();
    screen_->Start();
    deamon_->Start();
  } catch (const std::exception&) {
    // Out of threads or memory (ulimit -u, -v): thrown here it would abort; Start rethrows it.
    start_failure_ = std::current_exception();
    End_Workers();
    inbox_.Close();
    started.count_down();
    return;
  }
  started.count_down();
  // No sample of its own: the key loop's first Refresh takes one, and a one-shot run
  // must not spawn the sampler at all.
  while (auto accepted = inbox_.Accept()) {
    const Terminal_Request request = std::move(accepted->Get());  // no caller needs it back
    stamps::Stamp(stamps::Point::TAKEN);
    if (request.Kind == Request_Kind::Quit) {
      inbox_.Close();
      break;
    }
    if (frames_.Held()) {
      deamon_->Resume();
    }
    Served served = Served::NOTHING;
    try {
      served = Serve(request);
    } catch (const std::exception& error) {
      // No error ends this thread: every other thread and the key loop depend on it.
      const Semaphore_Guard hold(state_->Line_Lock);
      Write_Whole(settings_.Output_Fd, std::string("\nInternal error: ") + error.what() + "\n");
      served = request.Kind == Request_Kind::Key ? Served::CHANGE : Served::NOTHING;
    }
    const auto frame = frames_.Serve(served, request.Typed_Ahead);
    // A history move's caller waits for its frame; a key's is released first, so the key
    // loop reads on while the frame is drawn.
    const bool frame_first =
        request.Kind == Request_Kind::History_Back || request.Kind == Request_Kind::History_Forward;
    if (frame && frame_first) {
      screen_->Refresh(*frame);
    }
    accepted->Done();
    if (frame && !frame_first) {
      screen_->Refresh(*frame);
    }
  }
  End_Workers();
}

// Those made so far: a start that failed halfway ends what it made.
void Terminal_Thread::End_Workers() {
  const auto each = [this](const auto& action) {
    if (cpu_) action(*cpu_);
    if (deamon_) action(*deamon_);
    if (screen_) action(*screen_);
  };
  each([](auto& worker) { worker.Stop(); });
  each([](auto& worker) { worker.Join(); });
}

Served Terminal_Thread::Serve(const Terminal_Request& request) {
  const char32_t c = request.Character;
  switch (request.Kind) {
    case Request_Kind::Key:
      break;
    case Request_Kind::Refresh:
      return Served::REFRESH;
    case Request_Kind::History_Back:
    case Request_Kind::History_Forward:
      return History_Step(request.Kind == Request_Kind::History_Back);
    default:
      return Served::NOTHING;  // accepted and done: these keys do nothing
  }
  if (!request.Run.empty() || !text::Is_Control(c)) {
    const Semaphore_Guard hold(state_->Line_Lock);
    state_->Line += request.Run.empty() ? std::u32string_view(&c, 1) : request.Run;
  } else if (c == U'\t') {
    Complete(request.Typed_Ahead);
  } else if (c == U'\n' || c == U'\r') {
    Enter();
  } else if (c == U'\f') {  // Control-L
    Clear_Screen();
  } else if (c == U'\x7F') {  // what the Backspace key sends
    const Semaphore_Guard hold(state_->Line_Lock);
    Note_Drawn_Length();
    if (!state_->Line.empty()) {
      state_->Line.pop_back();
    }
  }
  return Served::CHANGE;
}

void Terminal_Thread::Complete(bool input_waiting) {
  if (state_->Line.empty()) {
    return;
  }
  if (frames_.Prepare_Sample(input_waiting)) {
    cpu_->Prepare();
  }
  Semaphore_Guard hold(state_->Line_Lock);
  if (state_->Completion_Result) {
    state_->Completion_Result->Found_Names.reset();
  }
  shell::Completion_Answer answer;
  try {
    answer = shell::Complete_Last_Word(text::Encode_Utf8(state_->Line));
  } catch (const shell::Completion_Error& error) {
    std::string message = std::string("Completion error: ") + error.what();
    // One row on a terminal: the error repeats the word, which may fill the screen.
    if (const auto columns = tty::Columns(settings_.Output_Fd)) {
      message = One_Row(message, *columns);
    }
    Write_Whole(settings_.Output_Fd, "\n" + message + "\n");
    return;
  }
  if (answer.New_Line) {
    Note_Drawn_Length();
    state_->Line = std::move(*answer.New_Line);
    state_->Completion_Result.reset();
    return;
  }
  state_->Completion_Result = std::move(answer.Result);
  std::string listing;
  if (state_->Completion_Result && state_->Completion_Result->Found_Names) {
    for (const auto& name : *state_->Completion_Result->Found_Names) {
      // As they are, unquoted; what the terminal cannot show as itself as U+FFFD.
      listing += shell::Strip_Dot_Slash(text::Encode_Shown(name)) + '\n';
    }
  }
  Write_Whole(settings_.Output_Fd, listing);
}

void Terminal_Thread::Enter() {
  if (state_->Line.empty()) {
    return;
  }
  if (const auto frame = frames_.Before_Run()) {
    screen_->Refresh(*frame);
  }
  // Paused before Line_Lock is taken: a periodic redraw already waiting for the lock
  // would never accept the pause, and Enter would wait for it with the lock held.
  const Deamon_Paused paused(*deamon_);
  const Semaphore_Guard hold(state_->Line_Lock);
  Write_Whole(settings_.Output_Fd, "\n");
  Execute_Line(*state_);  // reports its own failures and flushes
}

void Terminal_Thread::Clear_Screen() {
  {
    const Semaphore_Guard hold(state_->Line_Lock);
    // Emptied first: a complaint of the shell that cannot run "clear" takes this row.
    if (::isatty(settings_.Output_Fd) == 1) {
      Write_Whole(settings_.Output_Fd, "\r\x1b[K");
    }
    state_->Frame_Columns = 0;
    // The raw wait status is what is recorded.
    state_->Last_Status = Run_On_Terminal([] { return std::system("clear"); });
  }
  screen_->Refresh(frames_.Cleared());
}

// Position 0 is the line being typed, emptied; N the Nth newest line of the history.
Served Terminal_Thread::History_Step(bool back) {
  const std::size_t count = state_->History_Count();
  const std::size_t position = state_->History_Position;
  if (back ? position >= count : position == 0) {
    Write_Whole(settings_.Output_Fd, "\a");
    return Served::NOTHING;
  }
  const std::size_t shown = back ? position + 1 : position - 1;
  state_->History_Position = shown;
  const Semaphore_Guard hold(state_->Line_Lock);
  Note_Drawn_Length();
  state_->Line = shown == 0 ? std::u32string() : state_->History.Item(count - shown + 1);
  return Served::CHANGE;
}

void Terminal_Thread::Note_Drawn_Length() {
  state_->Previous_Length = frames_.Length_To_Blank(state_->Previous_Length, state_->Line.size());
}

}  // namespace nk::main
