#include "threads/terminal_thread.hpp"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <utility>

#include "bench/stamps.hpp"
#include "nk-text.hpp"
#include "run/execute.hpp"
#include "terminal/output.hpp"
#include "terminal/tty.hpp"
#include "threads/semaphore_guard.hpp"

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
  state_ = std::make_unique<Shell_State>(terminal_);
  cpu_ = std::make_unique<Cpu_Process>(state_->Directory_Lock);
  screen_ = std::make_unique<Screen>(*state_, *cpu_, settings_.Output_Fd, settings_.Rewraps);
  // Paused until the key loop's first request: a prompt drawn earlier would land in the
  // middle of what the start-up options print, or after their one-shot output.
  deamon_ = std::make_unique<Deamon>([this] { screen_->Refresh(); }, settings_.Redraw_Period, true);
  cpu_->Start();
  screen_->Start();
  deamon_->Start();
  started.count_down();  // Start returns: every thread runs
  // No sample of its own at start-up: the key loop's first Refresh takes one anyway, and a
  // one-shot run (-t, -a ...) must not spawn the sampler at all.
  while (auto accepted = inbox_.Accept()) {
    const Terminal_Request request = accepted->Get();
    stamps::Stamp(stamps::Point::TAKEN);
    if (request.Kind == Request_Kind::Quit) {
      Stop_Workers();
      inbox_.Close();
      accepted->Done();
      break;
    }
    if (!std::exchange(key_loop_started_, true)) {
      deamon_->Resume();
    }
    bool redraw = false;
    typed_ahead_ = request.Typed_Ahead;
    try {
      redraw = Serve(request);
    } catch (const std::exception& error) {
      // No error ends this thread: every other thread and the key loop depend on it.
      Report(std::string("Internal error: ") + error.what());
      redraw = request.Kind == Request_Kind::Key;
    }
    accepted->Done();
    if (redraw && !typed_ahead_) {
      screen_->Refresh();
      fresh_ = true;
      owed_ = false;
    } else if (redraw) {
      owed_ = true;
    }
  }
  cpu_->Join();
  deamon_->Join();
  screen_->Join();
}

void Terminal_Thread::Stop_Workers() {
  cpu_->Stop();
  deamon_->Stop();
  screen_->Stop();
}

bool Terminal_Thread::Serve(const Terminal_Request& request) {
  const bool was_fresh = std::exchange(fresh_, false);
  switch (request.Kind) {
    case Request_Kind::Key:
      Serve_Key(request.Character);
      return true;
    case Request_Kind::Refresh:
      return !was_fresh;
    case Request_Kind::History_Back:
      History_Back();
      return false;
    case Request_Kind::History_Forward:
      History_Forward();
      return false;
    default:
      return false;  // accepted and done: these keys do nothing
  }
}

void Terminal_Thread::Serve_Key(char32_t c) {
  if (!text::Is_Control(c)) {
    Append(c);
  } else if (c == Tab) {
    Complete();
  } else if (c == Line_Feed || c == Carriage_Return) {
    Enter();
  } else if (c == Form_Feed) {
    Clear_Screen();
  } else if (c == Delete) {
    Backspace();
  }
}

void Terminal_Thread::Append(char32_t c) {
  Semaphore_Guard hold(state_->Line_Lock);
  state_->Line += c;
}

void Terminal_Thread::Backspace() {
  Semaphore_Guard hold(state_->Line_Lock);
  Note_Drawn_Length();
  if (!state_->Line.empty()) {
    state_->Line.pop_back();
  }
}

void Terminal_Thread::Complete() {
  if (state_->Line.empty()) {
    return;
  }
  // The frame after the walk takes this sample instead of starting one of its own; a Tab
  // typed ahead gets no frame of its own, so it starts no run either.
  if (!typed_ahead_) {
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
    Write_Whole(settings_.Output_Fd, std::string("\nCompletion error: ") + error.what() + "\n");
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
  // A line typed ahead was never drawn: show it before its output, or the screen would
  // keep the output of a command nobody sees.
  if (std::exchange(owed_, false)) {
    screen_->Refresh();
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
    // takes that row instead of following the prompt on it.
    Write_Whole(settings_.Output_Fd, "\r\x1b[K");
    state_->Frame_Columns = 0;
    // The raw wait status is what is recorded. Through the same path as a command.
    state_->Last_Status = Run_On_Terminal([] { return std::system("clear"); });
  }
  screen_->Refresh();
}

void Terminal_Thread::History_Back() {
  const std::size_t count = state_->History_Count();
  const std::size_t position = state_->History_Position;
  if (count == 0 || count <= position) {
    Bell();
    return;
  }
  ++state_->History_Position;
  Show(state_->History.Item(count - position));
}

void Terminal_Thread::History_Forward() {
  const std::size_t count = state_->History_Count();
  const std::size_t position = state_->History_Position;
  if (position == 0) {
    Bell();
    return;
  }
  --state_->History_Position;
  Show(position == 1 ? std::u32string() : state_->History.Item(count - position + 2));
}

void Terminal_Thread::Show(std::u32string line) {
  {
    Semaphore_Guard hold(state_->Line_Lock);
    Note_Drawn_Length();
    state_->Line = std::move(line);
  }
  if (!typed_ahead_) {
    screen_->Refresh();
    fresh_ = true;
  }
}

void Terminal_Thread::Note_Drawn_Length() {
  // The longest line since the last frame: with frames skipped for typed-ahead keys, the
  // screen may still show a longer line than the one this change shortens.
  state_->Previous_Length = std::max(state_->Previous_Length, state_->Line.size());
}

void Terminal_Thread::Bell() {
  Write_Whole(settings_.Output_Fd, "\a");
}

void Terminal_Thread::Report(const std::string& text) {
  Semaphore_Guard hold(state_->Line_Lock);
  Write_Whole(settings_.Output_Fd, "\n" + text + "\n");
}

}  // namespace nk::main
