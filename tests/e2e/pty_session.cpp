#include "e2e/pty_session.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace nk::pty_test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds Longest_Wait{20};

// The back-reference keeps a frame from being matched across two different drawings.
const std::regex Frame_Pattern(
    "\r(((?:NONE|LINUX|XTERM)):([^\r\n]{6}): ([0-9]{2}:[0-9]{2}:[0-9]{2}):([ -][0-9]+\\.[0-9]{2})"
    "\\$ )( *)\r\\1");

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

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

void Child::Start(const Session_Options& options, const Temp_Tree& tree, int in, int out) {
  // Built before fork: the child may only call async-signal-safe functions.
  std::vector<std::string> arguments{options.Program}, environment = options.Environment;
  arguments.insert(arguments.end(), options.Arguments.begin(), options.Arguments.end());
  environment.push_back("HOME=" + tree.Home());
  if (std::ranges::none_of(environment,
                           [](const std::string& s) { return s.starts_with("PATH="); }))
    environment.push_back("PATH=/usr/bin:/bin");
  if (options.Term) environment.push_back("TERM=" + *options.Term);
  if (options.User) environment.push_back("USER=" + *options.User);
  // Sanitizer options of the test run also apply to the program under test.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* value = std::getenv(name))
      environment.push_back(std::string(name) + "=" + value);
  const auto argv = Pointers(arguments), envp = Pointers(environment);
  const std::string work = tree.Work();
  Pid = ::fork();
  if (Pid < 0) throw std::runtime_error("fork failed");
  if (Pid > 0) return;
  // Above 2 first: an end that is already 0, 1 or 2 would keep its close-on-exec. A new
  // session: no signal of the program's reaches the test's own terminal.
  in = ::fcntl(in, F_DUPFD_CLOEXEC, 3);
  out = ::fcntl(out, F_DUPFD_CLOEXEC, 3);
  if (::setsid() < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0 ||
      (::isatty(0) && ::ioctl(0, TIOCSCTTY, 0) != 0))
    ::_exit(125);
  // Whatever the test runner left open is not the program's: it starts with 0 to 2 only.
  ::close_range(3, ~0U, 0);
  ::signal(SIGXFSZ, SIG_IGN);  // past RLIMIT_FSIZE a write fails (EFBIG), even as root
  for (const auto& [resource, value] : options.Limits) {
    const rlimit both{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
    if (::setrlimit(resource, &both) != 0) ::_exit(126);
  }
  if (::chdir(work.c_str()) == 0) ::execve(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

void Child::Stop() {
  if (Pid > 0 && Running()) {
    ::kill(Pid, SIGKILL);
    ::waitpid(Pid, &Status.emplace(), 0);
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
  for (ssize_t count = 1; count > 0 || (count < 0 && errno == EINTR);) {
    count = ::read(Fd, buffer, sizeof buffer);  // non-blocking
    if (count > 0) Screen.append(buffer, static_cast<std::size_t>(count));
  }
  return running && Clock::now() < deadline;
}

void Child::Wait_Exit() {
  const auto deadline = Clock::now() + Longest_Wait;
  while (!Timed_Out && Pump(deadline)) {
  }
  if (!Status && !Timed_Out) ADD_FAILURE() << "the program did not end; it wrote " << Screen;
  Timed_Out = Timed_Out || !Status;
}

int Child::Shell_Status() {
  return Running() ? -1 : WIFSIGNALED(*Status) ? 128 + WTERMSIG(*Status) : WEXITSTATUS(*Status);
}

Pty_Session::Pty_Session(const Session_Options& options) : Tree(options.Cpu_Script) {
  winsize size{.ws_row = 24, .ws_col = options.Columns, .ws_xpixel = 0, .ws_ypixel = 0};
  if (::openpty(&Fd, &slave_, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty");
  ::tcgetattr(slave_, &Initial_Modes);
  Start(options, Tree, slave_, slave_);
  ::fcntl(Fd, F_SETFL, O_NONBLOCK);
  if (options.Wait_For_Start) Wait_For_Frame();
}

Pty_Session::~Pty_Session() {
  Stop();  // before the tree goes
  ::close(slave_);
}

void Pty_Session::Write(std::string_view keys) {
  for (ssize_t count = 0; !keys.empty(); keys.remove_prefix(std::max<ssize_t>(count, 0))) {
    count = ::write(Fd, keys.data(), keys.size());
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) return;
    // The program is not reading: read its output meanwhile, so neither side blocks.
    if (count < 0 && errno == EAGAIN) Pump(Clock::now() + std::chrono::milliseconds(20));
  }
}

bool Pty_Session::Wait_Until(const std::function<bool()>& found, std::string_view what) {
  const auto deadline = Clock::now() + Longest_Wait;
  for (bool more = !Timed_Out;; more = Pump(deadline)) {
    if (found()) return true;
    if (more) continue;
    if (!Timed_Out) ADD_FAILURE() << "waited in vain for " << what << "; unread: " << Unread();
    Timed_Out = true;
    return false;
  }
}

std::string Pty_Session::Wait_For(std::string_view needle) {
  std::size_t at = 0;
  if (!Wait_Until([&] { return (at = Screen.find(needle, consumed_)) != std::string::npos; },
                  testing::PrintToString(std::string(needle))))
    return "";
  std::string before = Screen.substr(consumed_, at - consumed_);
  consumed_ = at + needle.size();
  return before;
}

Frame Pty_Session::Wait_For_Frame() {
  std::string unread;
  std::smatch m;
  if (!Wait_Until([&] { return std::regex_search(unread = Unread(), m, Frame_Pattern); },
                  "a frame"))
    return {};
  consumed_ += static_cast<std::size_t>(m.position(0) + m.length(0));
  std::string before = m.prefix().str();
  for (auto at = before.find(Input_Modes_Reset); at != std::string::npos;
       at = before.find(Input_Modes_Reset))
    before.erase(at, Input_Modes_Reset.size());
  return Frame{before, m[2], m[3], m[4], m[5], static_cast<std::size_t>(m.length(6))};
}

std::string Pty_Session::Run_Line(std::string_view line) {
  Write(std::string(line) + "\r");
  // Frames never hold a line feed: the first one after typing is the Enter's.
  Wait_For("\r\n");
  std::string output = Wait_For_Frame().Before;
  winsize size{};
  ::ioctl(Fd, TIOCGWINSZ, &size);
  const std::string guard = Row_Guard(size.ws_col);
  if (const auto at = output.find(guard); at != std::string::npos) output.erase(at, guard.size());
  return output;
}

termios Pty_Session::Modes() const {
  termios modes{};
  ::tcgetattr(slave_, &modes);
  return modes;
}

bool Pty_Session::Modes_Restored() const {
  const termios now = Modes(), &was = Initial_Modes;
  return now.c_iflag == was.c_iflag && now.c_oflag == was.c_oflag && now.c_lflag == was.c_lflag &&
         now.c_cc[VMIN] == was.c_cc[VMIN] && now.c_cc[VTIME] == was.c_cc[VTIME];
}

int Pty_Session::Ended() {
  Wait_Exit();
  EXPECT_TRUE(Modes_Restored());
  EXPECT_EQ(Left_In(Pid), std::vector<std::string>{});
  return Shell_Status();
}

Piped_Run Run_Piped(const Temp_Tree& tree, const Session_Options& options, std::string_view input) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  Child child;
  child.Start(options, tree, in[0], out[1]);
  ::close(in[0]), ::close(out[1]);
  ::fcntl(child.Fd = out[0], F_SETFL, O_NONBLOCK);
  ::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
  // Far smaller than a pipe's buffer: no block, and a child that ended early misses them.
  [[maybe_unused]] const auto written = ::write(in[1], input.data(), input.size());
  ::close(in[1]);
  child.Wait_Exit();
  return {child.Status, child.Screen};
}

std::vector<std::string> Processes(int field, std::string_view value) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    if (!std::isdigit(entry.path().filename().string()[0])) continue;  // not a process
    std::ifstream file(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    std::istringstream rest(text.substr(text.rfind(')') + 1));
    std::vector<std::string> fields(4);
    for (auto& each : fields) rest >> each;
    if (fields[field] == value && fields[0] != "Z") found.push_back(entry.path().filename());
  }
  return found;
}

std::vector<std::string> Left_In(pid_t session) {
  for (int look = 0; look < 200 && !Processes(3, std::to_string(session)).empty(); ++look)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Processes(3, std::to_string(session));
}

}  // namespace nk::pty_test
