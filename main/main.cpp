// nelk: start-up, the key loop and the one way out.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "nelk.hpp"
#include "nk-shared.hpp"
#include "nk-stamps.hpp"
#include "nk-text.hpp"
#include "startup_options.hpp"
#include "terminal/key_decoder.hpp"
#include "terminal/output.hpp"
#include "terminal/rewrap.hpp"
#include "terminal/tty.hpp"
#include "threads/terminal_thread.hpp"

namespace {

using namespace nk::main;

// TERM, the start-up options, the terminal's rows and the greeting; false when the
// options ended the run. Nothing draws yet, so Terminal.Kind is set unshared.
bool Start_Up(int argc, char** argv, Terminal& terminal, Terminal_Settings& settings, int& status) {
  terminal.Kind = Kind_From_Environment();
  const Startup_Outcome outcome = Run_Startup_Options(argc, argv, terminal);
  if (!outcome.Go_On) {
    status = outcome.Exit_Status;
    return false;
  }
  const Rewrap_Choice rewrap = Choose_Rewrap(std::getenv);
  if (rewrap.Bad_Setting && ::isatty(STDOUT_FILENO) == 1) {
    std::cout << Bad_Reflow_Setting << '\n';
  }
  settings.Rewraps = rewrap.Rewraps;
  const char* user = std::getenv("USER");
  std::cout << "Greetings " << (user != nullptr ? user : "") << "!\n" << std::flush;
  return true;
}

// Bytes in the terminal's queue at its last count, less those read since: a paste asks
// the terminal once per batch, not twice per byte. The key loop's thread only.
int counted_waiting = 0;

// A key typed on the terminal can be read without waiting. Input from a pipe or a file
// is no typing: its output keeps every frame, byte for byte.
bool Input_Waiting() {
  static const bool typed = ::isatty(STDIN_FILENO) == 1;
  if (typed && counted_waiting == 0 && ::ioctl(STDIN_FILENO, FIONREAD, &counted_waiting) != 0) {
    counted_waiting = 0;
  }
  return typed && counted_waiting > 0;
}

// The next byte, one at a time still: bytes after an Enter belong to the program it starts.
std::optional<unsigned char> Read_Key_Byte(const std::function<void()>& on_continue) {
  if (counted_waiting > 0 && tty::Termination_Signal() == 0) {
    unsigned char byte = 0;
    if (::read(STDIN_FILENO, &byte, 1) == 1) {
      --counted_waiting;
      return byte;
    }
    counted_waiting = 0;  // the terminal's answer, whatever it is, comes from the full read
  }
  return tty::Read_Byte(on_continue);
}

// Plain characters read while more input was waiting go out as one Key request: a paste
// is appended under one hold of Line_Lock and drawn once. Control characters and sequences
// stay one request each, in order.
class Request_Sender {
 public:
  explicit Request_Sender(Terminal_Thread& thread) : thread_(thread) {}

  void Send(Terminal_Request request) {
    const bool waiting = Input_Waiting();
    const bool plain =
        request.Kind == Request_Kind::Key && !nk::text::Is_Control(request.Character);
    if (plain && (waiting || !run_.empty())) {  // a key typed alone goes out as itself
      run_ += request.Character;
      if (!waiting) {
        Send_Run(false);
      }
      return;
    }
    if (request.Kind == Request_Kind::Refresh && waiting && !run_.empty()) {
      return;  // the run still to go leaves its frame owed all the same
    }
    Send_Run(true);
    request.Typed_Ahead = waiting;
    Call(request);
    if (request.Kind == Request_Kind::Key && request.Character < U' ') {
      // Enter may have run a program that read the counted bytes: count again.
      counted_waiting = 0;
    }
  }
  // Before a read that may block: the run goes out, or the Refresh promised by a request
  // sent with input waiting.
  void Before_Read() {
    // The terminal is asked only when there is something to send.
    if ((!run_.empty() || promised_) && !Input_Waiting()) {
      run_.empty() ? Call({Request_Kind::Refresh}) : Send_Run(false);
    }
  }
  // Once the loop has ended: what it read still reaches the line, with no frame.
  void Finish() { Send_Run(true); }

 private:
  void Send_Run(bool waiting) {
    if (run_.empty()) {
      return;
    }
    Terminal_Request request{Request_Kind::Key};
    request.Run = std::exchange(run_, {});
    request.Typed_Ahead = waiting;
    Call(request);
  }
  void Call(const Terminal_Request& request) {
    promised_ = request.Typed_Ahead;
    thread_.Send(request);
  }

  Terminal_Thread& thread_;
  std::u32string run_;
  bool promised_ = false;  // the last request went out with input waiting
};

// Reads keys until Escape twice or the end of input. Under NONE the terminal keeps its
// lines and signal keys: Control-D and Control-C end the run.
void Key_Loop(Terminal_Kind kind, Terminal_Thread& thread) {
  const tty::Key_Loop_Signals signals;
  const tty::Keyboard_Mode keyboard(kind == Terminal_Kind::XTERM  ? tty::Keyboard::XTERM_KEYS
                                    : kind == Terminal_Kind::NONE ? tty::Keyboard::LINES_UNECHOED
                                                                  : tty::Keyboard::KEYS);
  Request_Sender sender(thread);
  auto send = [&sender](const Terminal_Request& request) { sender.Send(request); };
  nk::text::Utf8_Reader reader([&sender, &send] {
    sender.Before_Read();  // not a deamon period later
    // Continued after a stop: the screen may hold anything now.
    const auto byte = Read_Key_Byte([&send] { send({Request_Kind::Refresh}); });
    nk::stamps::Stamp(nk::stamps::Point::KEY);
    return byte;
  });
  // Bytes that are not UTF-8 are no key: skipped, as if never typed.
  auto next = [&reader] {
    auto c = reader.Next();
    while (c && nk::text::Is_Raw_Byte(*c)) {
      c = reader.Next();
    }
    return c;
  };
  Run_Key_Loop(kind, next, send);
  sender.Finish();
}

// A closed standard descriptor would be taken by the first file nelk opens (the key loop
// would read its own wake-up pipe, frames would go into it): /dev/null takes its place.
void Open_Standard_Descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 &&
        ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) {
      std::_Exit(EXIT_FAILURE);  // no /dev/null: nothing safe is left to do
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Open_Standard_Descriptors();
  Route_Standard_Output();
  tty::Install();
  nk::shared::Pin_Total_Directory();
  Terminal terminal;
  // A one-shot run (-t, -v ...) starts no thread and builds no table.
  std::unique_ptr<Terminal_Thread> thread;
  Terminal_Settings settings;
  int status = 0;
  bool loop_ended = false;
  try {
    if (Start_Up(argc, argv, terminal, settings, status)) {
      thread = std::make_unique<Terminal_Thread>(terminal, settings);
      thread->Start();
      Key_Loop(terminal.Kind, *thread);
      loop_ended = true;
    }
  } catch (const std::exception& error) {
    // Still through Quit: the other threads must end before the program does.
    std::cout << "Error: " << error.what() << std::endl;
    status = EXIT_FAILURE;
  }
  if (thread) {
    thread->Stop();  // Quit, refused harmlessly when the key loop sent it
    thread->Join();
  }
  // No frame can follow now; the parent shell's prompt must not start on nelk's row.
  if (loop_ended && ::isatty(STDOUT_FILENO) == 1) {
    Write_Whole(STDOUT_FILENO, "\n");
  }
  nk::stamps::Write_Out();
  if (const int signal = tty::Termination_Signal(); signal != 0) {
    return 128 + signal;
  }
  return status;
}
