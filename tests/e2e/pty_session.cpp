#include "e2e/pty_session.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

// "\r" P blanks "\r" P, P being the whole prompt; the back-reference keeps a frame from
// being matched across two different drawings.
const std::regex& Frame_Pattern() {
  static const std::regex pattern(
      "\r((?:NONE|LINUX|XTERM):[^\r\n]{6}: [0-9]{2}:[0-9]{2}:[0-9]{2}:[ -][0-9]+\\.[0-9]{2}\\$ )"
      "( *)\r\\1");
  return pattern;
}

struct Exec_Plan {
  std::vector<std::string> Argument_Texts;
  std::vector<std::string> Environment_Texts;
  std::vector<char*> Argv;
  std::vector<char*> Envp;
};

// Built before fork: the child may only call async-signal-safe functions.
Exec_Plan Plan(const Session_Options& options, const Temp_Tree& tree) {
  Exec_Plan plan;
  plan.Argument_Texts.push_back(options.Program);
  for (const std::string& argument : options.Arguments) {
    plan.Argument_Texts.push_back(argument);
  }
  plan.Environment_Texts.push_back("HOME=" + tree.Home());
  plan.Environment_Texts.push_back("PATH=" + options.Path);
  if (options.Term) {
    plan.Environment_Texts.push_back("TERM=" + *options.Term);
  }
  if (options.User) {
    plan.Environment_Texts.push_back("USER=" + *options.User);
  }
  for (const auto& [name, value] : options.Environment) {
    plan.Environment_Texts.push_back(name + "=" + value);
  }
  // Sanitizer options of the test run also apply to the program under test.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) {
      plan.Environment_Texts.push_back(std::string(name) + "=" + value);
    }
  }
  for (std::string& text : plan.Argument_Texts) {
    plan.Argv.push_back(text.data());
  }
  plan.Argv.push_back(nullptr);
  for (std::string& text : plan.Environment_Texts) {
    plan.Envp.push_back(text.data());
  }
  plan.Envp.push_back(nullptr);
  return plan;
}

[[noreturn]] void Exec_In_Child(const Exec_Plan& plan, const std::string& work) {
  if (::chdir(work.c_str()) != 0) {
    ::_exit(126);
  }
  ::execve(plan.Argv[0], plan.Argv.data(), plan.Envp.data());
  ::_exit(127);
}

// dup2 that also works when `fd` already is `target`: the pipe ends are close-on-exec,
// and with the test's own standard input closed a pipe end can land on 0.
void Move_To(int fd, int target) {
  if (fd == target) {
    ::fcntl(fd, F_SETFD, 0);
  } else {
    ::dup2(fd, target);
  }
}

int Remaining_Ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Appends what `fd` has now; false at its end (or error), true when it would block.
bool Drain(int fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      into.append(buffer, static_cast<std::size_t>(count));
      continue;
    }
    if (count < 0 && errno == EINTR) {
      continue;
    }
    return count < 0 && errno == EAGAIN;
  }
}

}  // namespace

// ---- Temp_Tree ----------------------------------------------------------------------

Temp_Tree::Temp_Tree(std::string_view cpu_script) {
  char pattern[] = "/tmp/nk-e2e-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  root_ = pattern;
  std::filesystem::create_directories(Home() + "/bin");
  std::filesystem::create_directories(Work());
  const std::string cpu = Home() + "/bin/cpu";
  std::ofstream(cpu) << cpu_script;
  ::chmod(cpu.c_str(), 0755);
}

Temp_Tree::~Temp_Tree() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void Temp_Tree::Write_File(std::string_view relative, std::string_view content,
                           bool executable) const {
  const std::string path = Work() + "/" + std::string(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
  ::chmod(path.c_str(), executable ? 0755 : 0644);
}

std::optional<std::string> Temp_Tree::Read_File(std::string_view relative) const {
  std::ifstream file(Work() + "/" + std::string(relative), std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

// ---- Prompt -------------------------------------------------------------------------

std::optional<Prompt_Fields> Parse_Prompt(const std::string& prompt) {
  static const std::regex pattern(
      "(NONE|LINUX|XTERM):([^\r\n]{6}): ([0-9]{2}:[0-9]{2}:[0-9]{2}):([ -][0-9]+\\.[0-9]{2})\\$ ");
  std::smatch match;
  if (!std::regex_match(prompt, match, pattern)) {
    return std::nullopt;
  }
  return Prompt_Fields{match[1], match[2], match[3], match[4]};
}

std::string Regex_Escape(std::string_view text) {
  static const std::string_view special = R"(\^$.|?*+()[]{})";
  std::string escaped;
  for (const char c : text) {
    if (special.find(c) != std::string_view::npos) {
      escaped += '\\';
    }
    escaped += c;
  }
  return escaped;
}

// ---- Pty_Session --------------------------------------------------------------------

Pty_Session::Pty_Session(const Session_Options& options) : tree_(options.Cpu_Script) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  if (::openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) {
    throw std::runtime_error("openpty failed");
  }
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  ::tcgetattr(slave_, &initial_modes_);
  const Exec_Plan plan = Plan(options, tree_);
  const std::string work = tree_.Work();
  pid_ = ::fork();
  if (pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    // login_tty: new session, the slave as controlling terminal and as fds 0, 1, 2.
    const int slave = ::dup(slave_);
    if (slave < 0 || ::login_tty(slave) != 0) {
      ::_exit(125);
    }
    Exec_In_Child(plan, work);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

Pty_Session::~Pty_Session() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  for (const int fd : {master_, slave_, pidfd_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool Pty_Session::Running() {
  if (!status_) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
    }
  }
  return !status_;
}

bool Pty_Session::Pump(Clock::time_point deadline) {
  if (!Running()) {
    if (master_ >= 0) {
      Drain(master_, screen_);
    }
    return false;
  }
  pollfd fds[2] = {{master_, POLLIN, 0}, {pidfd_, POLLIN, 0}};
  // Without a pidfd the end of the program is noticed on the next round.
  const int timeout = pidfd_ >= 0 ? Remaining_Ms(deadline) : std::min(Remaining_Ms(deadline), 50);
  const int ready = ::poll(fds, 2, timeout);
  if (ready < 0 && errno != EINTR) {
    return false;
  }
  if (master_ >= 0 && (fds[0].revents & POLLIN) != 0) {
    Drain(master_, screen_);
  }
  return Clock::now() < deadline;
}

void Pty_Session::Write(std::string_view keys) {
  while (!keys.empty() && master_ >= 0) {
    const ssize_t count = ::write(master_, keys.data(), keys.size());
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

std::optional<std::string> Pty_Session::Wait_For(std::string_view needle,
                                                 std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  for (;;) {
    const std::size_t at = screen_.find(needle, consumed_);
    if (at != std::string::npos) {
      std::string before = screen_.substr(consumed_, at - consumed_);
      consumed_ = at + needle.size();
      return before;
    }
    if (!Pump(deadline) && screen_.find(needle, consumed_) == std::string::npos) {
      return std::nullopt;
    }
  }
}

std::optional<Frame> Pty_Session::Wait_For_Frame(std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  for (;;) {
    std::smatch match;
    const std::string unread = Unread();
    if (std::regex_search(unread, match, Frame_Pattern())) {
      Frame frame{match.prefix(), match[1], static_cast<std::size_t>(match.length(2))};
      consumed_ += static_cast<std::size_t>(match.position(0) + match.length(0));
      return frame;
    }
    if (!Pump(deadline)) {
      const std::string rest = Unread();
      if (!std::regex_search(rest, match, Frame_Pattern())) {
        return std::nullopt;
      }
    }
  }
}

std::optional<std::string> Pty_Session::Run_Line(std::string_view line) {
  Write(std::string(line) + "\r");
  // Frames never hold a line feed: the first one after typing is the Enter's.
  if (!Wait_For("\r\n")) {
    return std::nullopt;
  }
  auto frame = Wait_For_Frame();
  if (!frame) {
    return std::nullopt;
  }
  return frame->Before;
}

std::optional<int> Pty_Session::Wait_Exit(std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  while (Running()) {
    if (!Pump(deadline) && Running()) {
      return std::nullopt;
    }
  }
  if (master_ >= 0) {
    Drain(master_, screen_);
  }
  return status_;
}

void Pty_Session::Hang_Up() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

termios Pty_Session::Modes() const {
  termios modes{};
  ::tcgetattr(slave_, &modes);
  return modes;
}

bool Pty_Session::Wait_For_Modes(const std::function<bool(const termios&)>& wanted,
                                 std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  // Mode changes raise no event on the master: look again every few milliseconds.
  while (!wanted(Modes())) {
    if (Clock::now() >= deadline) {
      return false;
    }
    Pump(std::min(deadline, Clock::now() + std::chrono::milliseconds(5)));
  }
  return true;
}

// ---- Piped runs ---------------------------------------------------------------------

Piped_Run Run_Piped(const Session_Options& options, std::string_view input,
                    std::chrono::milliseconds wait) {
  const Temp_Tree tree(options.Cpu_Script);
  return Run_Piped(tree, options, input, wait);
}

Piped_Run Run_Piped(const Temp_Tree& tree, const Session_Options& options, std::string_view input,
                    std::chrono::milliseconds wait) {
  const Exec_Plan plan = Plan(options, tree);
  const std::string work = tree.Work();
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    Move_To(in[0], STDIN_FILENO);
    Move_To(out[1], STDOUT_FILENO);
    Move_To(out[1], STDERR_FILENO);
    ::setsid();  // no controlling terminal: nothing can reach the test's own
    Exec_In_Child(plan, work);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::signal(SIGPIPE, SIG_IGN);
  std::size_t written = 0;
  while (written < input.size()) {
    const ssize_t count = ::write(in[1], input.data() + written, input.size() - written);
    if (count <= 0) {
      break;
    }
    written += static_cast<std::size_t>(count);
  }
  ::close(in[1]);

  Piped_Run run;
  const auto deadline = Clock::now() + wait;
  bool open = true;
  while (open && Clock::now() < deadline) {
    pollfd fd{out[0], POLLIN, 0};
    if (::poll(&fd, 1, Remaining_Ms(deadline)) > 0) {
      char buffer[4096];
      const ssize_t count = ::read(out[0], buffer, sizeof buffer);
      if (count > 0) {
        run.Output.append(buffer, static_cast<std::size_t>(count));
      } else if (!(count < 0 && errno == EINTR)) {
        open = false;
      }
    }
  }
  ::close(out[0]);
  int status = 0;
  for (;;) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      run.Status = status;
      return run;
    }
    if (Clock::now() >= deadline) {
      break;
    }
    ::poll(nullptr, 0, 10);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return run;
}

}  // namespace nk::pty_test
