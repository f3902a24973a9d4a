#include "e2e/pty_session.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>

namespace nk::pty_test {
namespace {

using Clock = std::chrono::steady_clock;

// The back-reference keeps a frame from being matched across two different drawings.
const std::regex Frame_Pattern(
    "\r(((?:NONE|LINUX|XTERM)):([^\r\n]{6}): ([0-9]{2}:[0-9]{2}:[0-9]{2}):([ -][0-9]+\\.[0-9]{2})"
    "\\$ )( *)\r\\1");

// Built before fork: the child may only call async-signal-safe functions.
struct Exec_Plan {
  std::vector<std::string> Texts;  // arguments, then the environment
  std::vector<char*> Argv, Envp;
  std::string Work;
  std::optional<long> File_Size_Limit;

  Exec_Plan(const Session_Options& options, const Temp_Tree& tree)
      : Work(tree.Work()), File_Size_Limit(options.File_Size_Limit) {
    Texts.push_back(options.Program);
    Texts.insert(Texts.end(), options.Arguments.begin(), options.Arguments.end());
    const std::size_t arguments = Texts.size();
    Texts.push_back("HOME=" + tree.Home());
    Texts.push_back("PATH=/usr/bin:/bin");
    if (options.Term) Texts.push_back("TERM=" + *options.Term);
    if (options.User) Texts.push_back("USER=" + *options.User);
    Texts.insert(Texts.end(), options.Environment.begin(), options.Environment.end());
    // Sanitizer options of the test run also apply to the program under test.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name)) Texts.push_back(std::string(name) + "=" + value);
    }
    for (std::size_t k = 0; k < Texts.size(); ++k) {
      (k < arguments ? Argv : Envp).push_back(Texts[k].data());
    }
    Argv.push_back(nullptr);
    Envp.push_back(nullptr);
  }

  [[noreturn]] void Exec() const {
    if (File_Size_Limit) {
      const rlimit limit{static_cast<rlim_t>(*File_Size_Limit),
                         static_cast<rlim_t>(*File_Size_Limit)};
      ::signal(SIGXFSZ, SIG_IGN);
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    if (::chdir(Work.c_str()) == 0) ::execve(Argv[0], Argv.data(), Envp.data());
    ::_exit(127);
  }
};

}  // namespace

Temp_Tree::Temp_Tree(std::string_view cpu_script) {
  char pattern[] = "/tmp/nk-e2e-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::filesystem::create_directories(Work());
  Write_File("../home/bin/cpu", cpu_script, true);
}

Temp_Tree::~Temp_Tree() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void Temp_Tree::Write_File(std::string_view relative, std::string_view content,
                           bool executable) const {
  const std::string path = Work() + "/" + std::string(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  ::chmod(path.c_str(), executable ? 0755 : 0644);
}

std::optional<std::string> Temp_Tree::Read_File(std::string_view relative) const {
  std::ifstream file(Work() + "/" + std::string(relative), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

void Child::Stop() {
  if (Pid > 0 && Running()) {
    ::kill(Pid, SIGKILL);
    Status.emplace();
    ::waitpid(Pid, &*Status, 0);
  }
}

Child::~Child() {
  Stop();
  if (Fd >= 0) ::close(Fd);
}

bool Child::Running() {
  int status = 0;
  if (!Status && ::waitpid(Pid, &status, WNOHANG) == Pid) Status = status;
  return !Status;
}

bool Child::Pump(Clock::time_point deadline) {
  const bool running = Running();  // read once more after the end: the last output
  pollfd fd{Fd, POLLIN, 0};
  // The end of the program raises no event here: look again every few milliseconds.
  if (running && ::poll(&fd, 1, 20) < 0 && errno != EINTR) return false;
  char buffer[4096];
  for (ssize_t count = 1; Fd >= 0 && (count > 0 || (count < 0 && errno == EINTR));) {
    count = ::read(Fd, buffer, sizeof buffer);  // non-blocking
    if (count > 0) Screen.append(buffer, static_cast<std::size_t>(count));
  }
  return running && Clock::now() < deadline;
}

std::optional<int> Child::Wait_Exit() {
  const auto deadline = Clock::now() + Default_Wait;
  while (Pump(deadline)) {
  }
  return Status;
}

Pty_Session::Pty_Session(const Session_Options& options) : tree_(options.Cpu_Script) {
  winsize size{.ws_row = 24, .ws_col = options.Columns, .ws_xpixel = 0, .ws_ypixel = 0};
  if (::openpty(&Fd, &slave_, nullptr, nullptr, &size) != 0) {
    throw std::runtime_error("openpty failed");
  }
  ::fcntl(Fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  ::tcgetattr(slave_, &initial_modes_);
  const Exec_Plan plan(options, tree_);
  Pid = ::fork();
  if (Pid < 0) throw std::runtime_error("fork failed");
  if (Pid == 0) {
    // login_tty: new session, the slave as controlling terminal and as fds 0, 1, 2.
    const int slave = ::dup(slave_);
    if (slave < 0 || ::login_tty(slave) != 0) ::_exit(125);
    plan.Exec();
  }
  ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) | O_NONBLOCK);
}

Pty_Session::~Pty_Session() {
  Stop();  // before the tree goes
  ::close(slave_);
}

void Pty_Session::Write(std::string_view keys) {
  while (!keys.empty() && Fd >= 0) {
    const ssize_t count = ::write(Fd, keys.data(), keys.size());
    if (count > 0) {
      keys.remove_prefix(static_cast<std::size_t>(count));
    } else if (count < 0 && errno == EAGAIN) {
      // The program is not reading: read its output meanwhile, so neither side blocks.
      Pump(Clock::now() + std::chrono::milliseconds(20));
    } else if (!(count < 0 && errno == EINTR)) {
      return;
    }
  }
}

bool Pty_Session::Wait_Until(const std::function<bool()>& found) {
  const auto deadline = Clock::now() + Default_Wait;
  for (bool more = true;; more = Pump(deadline)) {
    if (found()) return true;
    if (!more) return false;
  }
}

std::optional<std::string> Pty_Session::Wait_For(std::string_view needle) {
  std::size_t at = 0;
  if (!Wait_Until([&] { return (at = Screen.find(needle, consumed_)) != std::string::npos; })) {
    return std::nullopt;
  }
  std::string before = Screen.substr(consumed_, at - consumed_);
  consumed_ = at + needle.size();
  return before;
}

std::optional<Frame> Pty_Session::Wait_For_Frame() {
  std::string unread;
  std::smatch m;
  if (!Wait_Until([&] { return std::regex_search(unread = Unread(), m, Frame_Pattern); })) {
    return std::nullopt;
  }
  consumed_ += static_cast<std::size_t>(m.position(0) + m.length(0));
  const std::string before = std::regex_replace(m.prefix().str(), std::regex("\x1b\\[\\?1l"), "");
  return Frame{before, m[2], m[3], m[4], m[5], static_cast<std::size_t>(m.length(6))};
}

std::optional<std::string> Pty_Session::Run_Line(std::string_view line) {
  Write(std::string(line) + "\r");
  // Frames never hold a line feed: the first one after typing is the Enter's.
  if (!Wait_For("\r\n")) return std::nullopt;
  auto frame = Wait_For_Frame();
  return frame ? std::optional(frame->Before) : std::nullopt;
}

termios Pty_Session::Modes() const {
  termios modes{};
  ::tcgetattr(slave_, &modes);
  return modes;
}

int Piped_Run::Exit() const {
  return Status && WIFEXITED(*Status) ? WEXITSTATUS(*Status) : -1;
}

Piped_Run Run_Piped(const Temp_Tree& tree, const Session_Options& options, std::string_view input) {
  const Exec_Plan plan(options, tree);
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  Child child;
  child.Pid = ::fork();
  if (child.Pid < 0) throw std::runtime_error("fork failed");
  if (child.Pid == 0) {
    // Above 2 first: with the test's own standard input closed a pipe end can be 0.
    const int child_in = ::fcntl(in[0], F_DUPFD_CLOEXEC, 3);
    const int child_out = ::fcntl(out[1], F_DUPFD_CLOEXEC, 3);
    if (::dup2(child_in, 0) < 0 || ::dup2(child_out, 1) < 0 || ::dup2(child_out, 2) < 0) {
      ::_exit(126);
    }
    ::setsid();  // no controlling terminal: nothing can reach the test's own
    plan.Exec();
  }
  ::close(in[0]);
  ::close(out[1]);
  child.Fd = out[0];
  ::fcntl(child.Fd, F_SETFL, O_NONBLOCK);
  ::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
  // The inputs are far smaller than a pipe's buffer: this write does not block, and a
  // child that ended early just misses them.
  [[maybe_unused]] const auto written = ::write(in[1], input.data(), input.size());
  ::close(in[1]);
  child.Wait_Exit();
  return {child.Status, child.Screen};
}

bool Pty_Session::Modes_Restored() const {
  const termios now = Modes();
  const termios& was = initial_modes_;
  return now.c_iflag == was.c_iflag && now.c_oflag == was.c_oflag && now.c_lflag == was.c_lflag &&
         now.c_cc[VMIN] == was.c_cc[VMIN] && now.c_cc[VTIME] == was.c_cc[VTIME];
}

}  // namespace nk::pty_test
