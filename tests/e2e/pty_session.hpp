// Running the real nelk program behind a pseudo-terminal (or pipes) for end-to-end
// tests: a fresh home and working directory, a controlled environment, keys in, screen
// bytes out. Every wait is bounded; a wait that runs out fails the test instead of
// hanging it.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nk::pty_test {

inline constexpr std::chrono::milliseconds Default_Wait{10'000};

// A temporary tree: Root/home (HOME, with an executable bin/cpu) and Root/work (the
// working directory). Removed with everything in it on destruction.
class Temp_Tree {
 public:
  explicit Temp_Tree(std::string_view cpu_script);
  ~Temp_Tree();
  Temp_Tree(const Temp_Tree&) = delete;
  Temp_Tree& operator=(const Temp_Tree&) = delete;

  const std::string& Root() const { return root_; }
  std::string Home() const { return root_ + "/home"; }
  std::string Work() const { return root_ + "/work"; }
  // Creates `relative` under Work() holding `content`; executable when asked.
  void Write_File(std::string_view relative, std::string_view content,
                  bool executable = false) const;
  // The bytes of `relative` under Work(); nullopt when it does not exist.
  std::optional<std::string> Read_File(std::string_view relative) const;

 private:
  std::string root_;
};

struct Session_Options {
  std::string Program = NELK_BINARY;
  std::optional<std::string> Term = "xterm";  // nullopt: TERM unset
  std::optional<std::string> User = "tester";
  std::string Path = "/usr/bin:/bin";
  std::string Cpu_Script = "#!/bin/sh\necho 1.0\n";
  std::vector<std::string> Arguments;
  std::vector<std::pair<std::string, std::string>> Environment;  // added to the above
};

// One drawing of the status line: "\r" Prompt, blanks, "\r" Prompt.
struct Frame {
  std::string Before;  // the unread bytes that came before the frame
  std::string Prompt;  // e.g. "XTERM:  1.0%: 12:00:00: 0.00$ "
  std::size_t Blanks = 0;
};

// The prompt text as drawn: kind, usage, UTC time, total.
struct Prompt_Fields {
  std::string Kind;
  std::string Usage;  // six characters
  std::string Time;   // HH:MM:SS
  std::string Total;  // " 0.00", "-3.50"
};
std::optional<Prompt_Fields> Parse_Prompt(const std::string& prompt);

// nelk on a pseudo-terminal of 80x24 with the given options.
class Pty_Session {
 public:
  explicit Pty_Session(const Session_Options& options = {});
  ~Pty_Session();
  Pty_Session(const Pty_Session&) = delete;
  Pty_Session& operator=(const Pty_Session&) = delete;

  const Temp_Tree& Tree() const { return tree_; }
  pid_t Pid() const { return pid_; }

  // Sends bytes as if typed.
  void Write(std::string_view keys);
  // Waits for `needle` in the unread bytes; returns what came before it and consumes
  // through its end. nullopt when it does not come within `wait`.
  std::optional<std::string> Wait_For(std::string_view needle,
                                      std::chrono::milliseconds wait = Default_Wait);
  // Waits for the next whole status-line frame and consumes through its end.
  std::optional<Frame> Wait_For_Frame(std::chrono::milliseconds wait = Default_Wait);
  // Types `line` and Enter, and answers every byte written between the line end of the
  // Enter and the next frame: the command's output and messages. nullopt on time-out.
  std::optional<std::string> Run_Line(std::string_view line);
  // Waits for the program to end; its wait status, nullopt on time-out.
  std::optional<int> Wait_Exit(std::chrono::milliseconds wait = Default_Wait);
  bool Running();
  // Closes our side of the terminal: the program sees a hang-up.
  void Hang_Up();

  // The modes of the terminal as the program's standard input sees them.
  termios Modes() const;
  // Waits until the terminal's modes satisfy `wanted`; false on time-out.
  bool Wait_For_Modes(const std::function<bool(const termios&)>& wanted,
                      std::chrono::milliseconds wait = Default_Wait);
  // The modes the terminal had before the program started.
  const termios& Initial_Modes() const { return initial_modes_; }
  // Every byte read so far, consumed or not.
  const std::string& Screen() const { return screen_; }
  // The bytes read but not consumed yet.
  std::string Unread() const { return screen_.substr(consumed_); }

 private:
  // Reads what is available, waiting at most until `deadline`; false once nothing more
  // can come (the program ended and everything was read) or the deadline passed.
  bool Pump(std::chrono::steady_clock::time_point deadline);

  Temp_Tree tree_;
  int master_ = -1;
  int slave_ = -1;  // held open so the modes outlive the program
  int pidfd_ = -1;
  pid_t pid_ = -1;
  std::optional<int> status_;
  termios initial_modes_{};
  std::string screen_;
  std::size_t consumed_ = 0;
};

// nelk with standard input and output on pipes: `input` is written and closed.
struct Piped_Run {
  std::optional<int> Status;  // wait status; nullopt when it did not end in time
  std::string Output;
};
Piped_Run Run_Piped(const Session_Options& options, std::string_view input,
                    std::chrono::milliseconds wait = Default_Wait);
// The same in a tree of the caller's, which outlives the run.
Piped_Run Run_Piped(const Temp_Tree& tree, const Session_Options& options, std::string_view input,
                    std::chrono::milliseconds wait = Default_Wait);

// Escapes `text` for use inside a regular expression.
std::string Regex_Escape(std::string_view text);

}  // namespace nk::pty_test
