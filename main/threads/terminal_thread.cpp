#include "threads/terminal_thread.hpp"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <utility>

#include "nk-stamps.hpp"
#include "nk-text.hpp"
#include "run/execute.hpp"
#include "sync/semaphore_guard.hpp"
#include "terminal/output.hpp"
#include "terminal/rows.hpp"
#include "terminal/tty.hpp"

namespace nk::main {

namespace {

constexpr char32_t Tab = U'\t';
constexpr char32_t Line_Feed = U'\n';
constexpr char32_t Carriage_Return = U'\r';
constexpr char32_t Form_Feed = U'\f';  // Control-L
constexpr char32_t Delete = U'\x7F';   // what the Backspace key sends

}  // namespace

bool Terminal_Thread::Send(Terminal_Request request) {
  return inbox_.Call(request, Waits_For_Body(request.Kind) ? Waits::BODY : Waits::ACCEPT);
}

void Terminal_Thread::Run(std::latch& started) {
  try {
    state_ = std::make_unique<Shell_State>(terminal_);
    cpu_ = std::make_unique<Cpu_Process>(state_->Directory_Lock);
    screen_ = std::make_unique<Screen>(*state_, *cpu_, settings_.Output_Fd, settings_.Rewraps);
    // Paused until the key loop's first request: a prompt drawn earlier would land in the
    // middle of what the start-up options print, or after their one-shot output.
    deamon_ =
        std::make_unique<Deamon>([this] { screen_->Refresh(); }, settings_.Redraw_Period, true);
    cpu_->Start();
    screen_->Start();
    deamon_->Start();
  } catch (const std::exception&) {
    // Out of threads or memory (ulimit -u, -v): thrown here it would abort the program.
    // Start throws it instead, and the run ends with its one line before the key loop.
    start_failure_ = std::current_exception();
    Stop_Workers();
    Join_Workers();
    inbox_.Close();
    started.count_down();
    return;
  }
  started.count_down();  // Start returns: every thread runs
  // No sample of its own at start-up: the key loop's first Refresh takes one anyway, and a
  // one-shot run (-t, -a ...) must not spawn the sampler at all.
  while (auto accepted = inbox_.Accept()) {
    // Moved out: a caller that waits gets back no run it needs.
    const Terminal_Request request = std::move(accepted->Get());
    stamps::Stamp(stamps::Point::TAKEN);
    if (request.Kind == Request_Kind::Quit) {
      Stop_Workers();
      inbox_.Close();
      accepted->Done();
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
      Report(std::string("Internal error: ") + error.what());
      served = request.Kind == Request_Kind::Key ? Served::CHANGE : Served::NOTHING;
    }
    const auto frame = frames_.Serve(served, request.Typed_Ahead);
    // A history move's caller waits for its frame; a key's is released first, so the key
    // loop reads on while the frame is drawn.
    const bool frame_first =
        request.Kind == Request_Kind::History_Back || request.Kind == Request_Kind::History_Forward;
    if (frame && frame_first) {
      Draw(*frame);
    }
    accepted->Done();
    if (frame && !frame_first) {
      Draw(*frame);
    }
  }
  Join_Workers();
}

// Those made so far: a start that failed halfway stops and joins what it made.
void Terminal_Thread::Stop_Workers() {
  if (cpu_) {
    cpu_->Stop();
  }
  if (deamon_) {
    deamon_->Stop();
  }
  if (screen_) {
    screen_->Stop();
  }
}

void Terminal_Thread::Join_Workers() {
  if (cpu_) {
    cpu_->Join();
  }
  if (deamon_) {
    deamon_->Join();
  }
  if (screen_) {
    screen_->Join();
  }
}

Served Terminal_Thread::Serve(const Terminal_Request& request) {
  switch (request.Kind) {
    case Request_Kind::Key:
      Serve_Key(request);
      return Served::CHANGE;
    case Request_Kind::Refresh:
      return Served::REFRESH;
    case Request_Kind::History_Back:
      return History_Back();
    case Request_Kind::History_Forward:
      return History_Forward();
    default:
      return Served::NOTHING;  // accepted and done: these keys do nothing
  }
}

void Terminal_Thread::Serve_Key(const Terminal_Request& request) {
  const char32_t c = request.Character;
  if (!request.Run.empty()) {
    Append(request.Run);
  } else if (!text::Is_Control(c)) {
    Append(std::u32string_view(&c, 1));
  } else if (c == Tab) {
    Complete(request.Typed_Ahead);
  } else if (c == Line_Feed || c == Carriage_Return) {
    Enter();
  } else if (c == Form_Feed) {
    Clear_Screen();
  } else if (c == Delete) {
    Backspace();
  }
}

void Terminal_Thread::Append(std::u32string_view characters) {
  Semaphore_Guard hold(state_->Line_Lock);
  state_->Line += characters;
}

void Terminal_Thread::Backspace() {
  Semaphore_Guard hold(state_->Line_Lock);
  Note_Drawn_Length();
  if (!state_->Line.empty()) {
    state_->Line.pop_back();
  }
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
      listing += shell::Strip_Dot_Slash(text::Encode_Shown(name));
      listing += '\n';
    }
  }
  Write_Whole(settings_.Output_Fd, listing);
}

void Terminal_Thread::Enter() {
  if (state_->Line.empty()) {
    return;
  }
  if (const auto frame = frames_.Before_Run()) {
    Draw(*frame);
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
    // The prompt row is emptied first: when "clear" cannot run, the shell's complaint
    // takes that row instead of following the prompt on it. A pipe keeps its bytes.
    if (::isatty(settings_.Output_Fd) == 1) {
      Write_Whole(settings_.Output_Fd, "\r\x1b[K");
    }
    state_->Frame_Columns = 0;
    // The raw wait status is what is recorded. Through the same path as a command.
    state_->Last_Status = Run_On_Terminal([] { return std::system("clear"); });
  }
  Draw(frames_.Cleared());
}

Served Terminal_Thread::History_Back() {
  const std::size_t count = state_->History_Count();
  const std::size_t position = state_->History_Position;
  if (count == 0 || count <= position) {
    Bell();
    return Served::NOTHING;
  }
  ++state_->History_Position;
  Show(state_->History.Item(count - position));
  return Served::CHANGE;
}

Served Terminal_Thread::History_Forward() {
  const std::size_t count = state_->History_Count();
  const std::size_t position = state_->History_Position;
  if (position == 0) {
    Bell();
    return Served::NOTHING;
  }
  --state_->History_Position;
  Show(position == 1 ? std::u32string() : state_->History.Item(count - position + 2));
  return Served::CHANGE;
}

void Terminal_Thread::Show(std::u32string line) {
  Semaphore_Guard hold(state_->Line_Lock);
  Note_Drawn_Length();
  state_->Line = std::move(line);
}

void Terminal_Thread::Draw(Sample_Use use) {
  screen_->Refresh(use);
}

void Terminal_Thread::Note_Drawn_Length() {
  state_->Previous_Length = frames_.Length_To_Blank(state_->Previous_Length, state_->Line.size());
}

void Terminal_Thread::Bell() {
  Write_Whole(settings_.Output_Fd, "\a");
}

void Terminal_Thread::Report(const std::string& text) {
  Semaphore_Guard hold(state_->Line_Lock);
  Write_Whole(settings_.Output_Fd, "\n" + text + "\n");
}

}  // namespace nk::main
