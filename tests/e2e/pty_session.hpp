// The real program behind a pseudo-terminal or on pipes, in a fresh home and folder. A wait
// that runs out fails the test, naming the bytes unread; later waits then give up at once.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nk::pty_test {

// Cursor keys, bracketed paste, mouse reporting (four modes) and keypad back to normal.
inline constexpr std::string_view Input_Modes_Reset =
    "\x1b[?1l\x1b[?2004l\x1b[?1000l\x1b[?1002l\x1b[?1003l\x1b[?1006l\x1b>";

// What follows every program on a terminal `columns` wide.
inline std::string Row_Guard(std::size_t columns) {
  return "\x1b[7m%\x1b[27m" + std::string(columns - 1, ' ') + "\r\x1b[K";
}

// Root/home (HOME, with an executable bin/cpu) and Root/work (the working directory).
class Temp_Tree {
 public:
  explicit Temp_Tree(std::string_view cpu_script = "#!/bin/sh\necho 1.0\n");
  ~Temp_Tree();
  Temp_Tree(const Temp_Tree&) = delete;
  Temp_Tree& operator=(const Temp_Tree&) = delete;
  std::string Home() const { return root_ + "/home"; }
  std::string Work() const { return root_ + "/work"; }
  // Files under Work(); Read_File gives nullopt when it cannot be read.
  void Write_File(std::string_view relative, std::string_view content,
                  bool executable = false) const;
  std::optional<std::string> Read_File(std::string_view relative) const;

 private:
  std::string root_;
};

struct Session_Options {
  std::string Program = NELK_BINARY;
  std::optional<std::string> Term = "xterm";  // nullopt: TERM unset
  std::optional<std::string> User = "tester";
  std::string Cpu_Script = "#!/bin/sh\necho 1.0\n";
  std::vector<std::string> Arguments{};
  std::vector<std::string> Environment{};      // added to HOME, PATH (unless given), TERM, USER
  std::vector<std::pair<int, long>> Limits{};  // setrlimit(first, second), SIGXFSZ ignored
  unsigned short Columns = 80;                 // of the pseudo-terminal
  bool Wait_For_Start = true;  // the session's constructor waits for the first frame
};

// One drawing of the status line, "\r" prompt blanks "\r" prompt, and the prompt's fields.
struct Frame {
  std::string Before;  // the unread bytes before it, less Input_Modes_Reset (tested apart)
  std::string Kind, Usage, Time, Total;
  std::size_t Blanks = 0;
};

// A started program whose output is read from one descriptor; killed when dropped.
struct Child {
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // Forks and runs the program with `in` as standard input and `out` as output and error.
  void Start(const Session_Options& options, const Temp_Tree& tree, int in, int out);
  bool Running();
  // Reads what is available; false once nothing more can come or `deadline` has passed.
  bool Pump(std::chrono::steady_clock::time_point deadline);
  void Wait_Exit();  // until Status is set, or the wait runs out
  void Stop();       // kills it if still running
  // The status as a shell reports it: the exit code, or 128+N after signal N; -1 running.
  int Shell_Status();

  pid_t Pid = -1;
  int Fd = -1;                // our end: its output, and its input on a terminal
  std::optional<int> Status;  // the wait status once it ended
  std::string Screen;         // every byte read so far
  bool Timed_Out = false;
};

// The program on a pseudo-terminal of 24 rows.
class Pty_Session : public Child {
 public:
  explicit Pty_Session(const Session_Options& options = {});
  ~Pty_Session();
  void Write(std::string_view keys);  // as if typed
  // Waits for `needle` in the unread bytes; what came before it. Consumes through it.
  std::string Wait_For(std::string_view needle);
  Frame Wait_For_Frame();  // the next whole frame; consumes through it
  // Types `line` and Enter; what came between its line end and the next frame, less a guard.
  std::string Run_Line(std::string_view line);
  termios Modes() const;        // as the program's standard input sees them
  bool Modes_Restored() const;  // as they were before the program started
  // Shell_Status() at the end, which every way out meets: modes back, nothing left running.
  int Ended();
  std::string Unread() const { return Screen.substr(consumed_); }
  // Reads until `found` holds (looked at after every read, and at least every 20 ms).
  bool Wait_Until(const std::function<bool()>& found, std::string_view what = "a condition");

  const Temp_Tree Tree;
  termios Initial_Modes{};

 private:
  int slave_ = -1;  // held open so the modes outlive the program
  std::size_t consumed_ = 0;
};

// The program on pipes, in `tree`: `input` is written and closed.
struct Piped_Run {
  std::optional<int> Status;  // wait status; nullopt when it did not end in time
  std::string Output;         // standard output and error, as written
  // The exit status, -1 when it did not exit.
  int Exit() const { return Status && WIFEXITED(*Status) ? WEXITSTATUS(*Status) : -1; }
};
Piped_Run Run_Piped(const Temp_Tree& tree, const Session_Options& options,
                    std::string_view input = "");

// Live processes whose field of /proc/PID/stat after the name is `value` (0 state, 1 parent,
// 3 session).
std::vector<std::string> Processes(int field, std::string_view value);
// Processes still in `session`, after a little while for the kernel to carry out a SIGKILL.
std::vector<std::string> Left_In(pid_t session);

}  // namespace nk::pty_test
