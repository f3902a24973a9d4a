// The terminal thread and its background threads, run for real against a fake sampler
// in a temporary HOME that is also the working directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <semaphore>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "main/background.hpp"
#include "main/semaphore_guard.hpp"
#include "main/terminal_thread.hpp"
#include "main/utf8.hpp"
#include "shared/nk-shared.hpp"

namespace {

namespace fs = std::filesystem;
using namespace nk::main;
using namespace std::chrono_literals;

std::string Read_File(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write_Script(const fs::path& path, const std::string& body) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(path, fs::perms::owner_all);
}

// Restores one environment variable on the way out.
class Saved_Variable {
 public:
  explicit Saved_Variable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) {
      value_ = value;
    }
  }
  ~Saved_Variable() {
    if (value_) {
      ::setenv(name_, value_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> value_;
};

// A temporary directory that is HOME and the working directory (so also where the total
// lives), with a sampler that logs each run, a "clear" that fails with 3 first on PATH,
// and a file that receives the terminal output.
class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "nelk-threads-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    ASSERT_TRUE(nk::shared::Pin_Total_Directory());
    nk::shared::Write_Total_Sum(0);
    ::setenv("HOME", dir_.c_str(), 1);
    ::setenv("PATH", ((dir_ / "tools").string() + ":/usr/bin:/bin").c_str(), 1);
    Write_Script(dir_ / "tools" / "clear", "exit 3");
    Sampler("42.5");
    output_ = ::open((dir_ / "output").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(output_, 0);
  }
  void TearDown() override {
    ::close(output_);
    nk::shared::Unpin_Total_Directory();
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }

  // A sampler that notes its run and prints `usage` (nothing at all for "").
  void Sampler(const std::string& usage) {
    const std::string print = usage.empty() ? ":" : "printf '%s\\n' '" + usage + "'";
    Write_Script(dir_ / "bin" / "cpu", "echo run >> '" + (dir_ / "runs").string() + "'\n" + print);
  }
  int Runs() const {
    const std::string log = Read_File(dir_ / "runs");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
  }
  std::string Output() const { return Read_File(dir_ / "output"); }

  Saved_Variable home_{"HOME"};
  Saved_Variable path_{"PATH"};
  fs::path dir_;
  fs::path old_cwd_;
  int output_ = -1;
};

// ---- cpu_process, screen, deamon on their own -----------------------------------------

using Threads = Sandbox;

TEST_F(Threads, UsageComesFromTheSampleFileAndSurvivesBadSamples) {
  std::binary_semaphore directory_lock{1};
  Cpu_Process cpu(directory_lock);
  cpu.Start();
  EXPECT_EQ(cpu.Get_Usage(), std::string(6, ' '));  // no sample yet

  Sampler("7");
  cpu.Sample();
  EXPECT_EQ(cpu.Get_Usage(), "    7%");
  EXPECT_FALSE(fs::exists(dir_ / ".cpu_usage.txt"));

  Sampler("");  // an empty file keeps the last figure
  cpu.Sample();
  EXPECT_EQ(cpu.Get_Usage(), "    7%");
  EXPECT_FALSE(fs::exists(dir_ / ".cpu_usage.txt"));

  Sampler("123456789");
  cpu.Sample();
  EXPECT_EQ(cpu.Get_Usage(), "12345%");

  fs::remove(dir_ / "bin" / "cpu");  // no sampler at all
  cpu.Sample();
  EXPECT_EQ(cpu.Get_Usage(), "12345%");
  EXPECT_FALSE(fs::exists(dir_ / ".cpu_usage.txt"));
  ASSERT_TRUE(directory_lock.try_acquire());  // released after every sample
  directory_lock.release();
  EXPECT_EQ(Runs(), 3);

  cpu.Stop();
  cpu.Join();
  EXPECT_FALSE(cpu.Get_Usage().has_value());
  cpu.Sample();  // a stopped thread turns requests away instead of blocking
}

TEST_F(Threads, DeamonRedrawsWhenIdleAndNeverWhilePaused) {
  std::counting_semaphore<> redrawn{0};
  std::atomic<int> redraws = 0;
  Deamon deamon(
      [&] {
        ++redraws;
        redrawn.release();
      },
      1ms);
  deamon.Start();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(redrawn.try_acquire_for(30s));
  }
  deamon.Pause();
  deamon.Pause();
  const int paused_at = redraws;
  std::this_thread::sleep_for(50ms);  // fifty periods
  EXPECT_EQ(redraws, paused_at);

  deamon.Resume();  // one Resume undoes both Pauses
  while (redrawn.try_acquire()) {
  }
  EXPECT_TRUE(redrawn.try_acquire_for(30s));

  deamon.Pause();
  deamon.Stop();  // ends a paused deamon at once
  deamon.Join();
}

// The frame's parts: the prompt, the blanks after it, and what follows the second prompt.
struct Frame {
  std::string Prompt;
  std::size_t Blanks = 0;
  std::string Line;
};

// The last frame in `output`; bells after it are ignored.
std::optional<Frame> Last_Frame(std::string output) {
  while (!output.empty() && output.back() == '\a') {
    output.pop_back();
  }
  const auto second = output.rfind('\r');
  if (second == std::string::npos || second == 0) {
    return std::nullopt;
  }
  const auto first = output.rfind('\r', second - 1);
  if (first == std::string::npos) {
    return std::nullopt;
  }
  const std::string blanked = output.substr(first + 1, second - first - 1);
  const std::string redrawn = output.substr(second + 1);
  const auto prompt_end = redrawn.find("$ ");
  if (prompt_end == std::string::npos) {
    return std::nullopt;
  }
  Frame frame;
  frame.Prompt = redrawn.substr(0, prompt_end + 2);
  frame.Line = redrawn.substr(prompt_end + 2);
  if (blanked.compare(0, frame.Prompt.size(), frame.Prompt) != 0 ||
      blanked.find_first_not_of(' ', frame.Prompt.size()) != std::string::npos) {
    return std::nullopt;  // not prompt + blanks: a torn or malformed frame
  }
  frame.Blanks = blanked.size() - frame.Prompt.size();
  return frame;
}

TEST_F(Threads, ScreenDrawsOneWholeFrameAndKeepsGoingOnADamagedTotal) {
  Terminal terminal;
  terminal.Kind = Terminal_Kind::XTERM;
  Shell_State state(terminal);
  state.Line = U"ls \U0001F600";
  state.Previous_Length = 4;
  state.Total_Width = 5;
  Cpu_Process cpu(state.Directory_Lock);
  Screen screen(state, cpu, output_);
  cpu.Start();
  screen.Start();
  nk::shared::Write_Total_Sum(12'345'678);

  screen.Refresh();
  const std::string first = Output();
  ASSERT_EQ(first.front(), '\r');
  auto frame = Last_Frame(first);
  ASSERT_TRUE(frame.has_value()) << first;
  EXPECT_TRUE(std::regex_match(
      frame->Prompt, std::regex(R"(XTERM: 42\.5%: [0-2]\d:[0-5]\d:[0-5]\d: 123456\.78\$ )")))
      << frame->Prompt;
  EXPECT_EQ(frame->Blanks, 4U + 5U + 6U);
  EXPECT_EQ(frame->Line, "ls \xf0\x9f\x98\x80");
  EXPECT_EQ(state.Previous_Length, 0U);
  EXPECT_EQ(state.Total_Width, 10U);
  EXPECT_EQ(Runs(), 1);  // each redraw takes a fresh sample

  fs::resize_file(dir_ / nk::shared::Total_File_Name, 2);
  screen.Refresh();
  frame = Last_Frame(Output().substr(first.size()));
  ASSERT_TRUE(frame.has_value());
  EXPECT_TRUE(frame->Prompt.ends_with(":      ?.??$ ")) << frame->Prompt;
  EXPECT_EQ(frame->Blanks, 0U + 10U + 6U);
  EXPECT_EQ(state.Total_Width, 10U);
  ASSERT_TRUE(state.Line_Lock.try_acquire());
  state.Line_Lock.release();
}

// ---- the terminal thread --------------------------------------------------------------

class Editor : public Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    terminal_.Kind = Terminal_Kind::XTERM;
    // No periodic redraw: every frame in the output comes from a request.
    thread_ = std::make_unique<Terminal_Thread>(terminal_, Terminal_Settings{output_, 24h});
    thread_->Start();
  }
  void TearDown() override {
    thread_.reset();
    Sandbox::TearDown();
  }

  void Send(Request_Kind kind) { ASSERT_TRUE(thread_->Send({kind, 0})); }
  void Type(std::u32string_view keys) {
    for (const char32_t key : keys) {
      ASSERT_TRUE(thread_->Send({Request_Kind::Key, key}));
    }
  }
  void Erase() {
    while (!Line().empty()) {
      Type(U"\x7f");
    }
  }
  std::u32string Line() {
    Semaphore_Guard hold(thread_->State().Line_Lock);
    return thread_->State().Line;
  }
  // Returns once every earlier request, its redraw included, is finished. Rings the
  // bell: Down with no recalled line.
  void Settle() {
    ASSERT_EQ(thread_->State().History_Position, 0U);
    Send(Request_Kind::History_Forward);
  }
  void Remember(std::initializer_list<std::u32string_view> lines) {
    for (const auto line : lines) {
      thread_->State().History_Count = thread_->State().History.Append(line);
    }
  }
  static int Bells(const std::string& output) {
    return static_cast<int>(std::count(output.begin(), output.end(), '\a'));
  }

  Terminal terminal_;
  std::unique_ptr<Terminal_Thread> thread_;
};

// Names of the threads of this process.
std::multiset<std::string> Thread_Names() {
  std::multiset<std::string> names;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::string name = Read_File(task.path() / "comm");
    if (!name.empty() && name.back() == '\n') {
      name.pop_back();
    }
    names.insert(name);
  }
  return names;
}

TEST_F(Editor, StartsFourNamedThreadsSamplesOnceAndQuitEndsThemAll) {
  Settle();
  EXPECT_EQ(Runs(), 1);  // the start-up sample, before any request was served
  for (const char* name : {"terminal.proc", "screen", "deamon", "cpu_process"}) {
    EXPECT_EQ(Thread_Names().count(name), 1U) << name;
  }
  EXPECT_TRUE(thread_->Send({Request_Kind::Quit, 0}));
  thread_->Join();
  for (const char* name : {"terminal.proc", "screen", "deamon", "cpu_process"}) {
    EXPECT_EQ(Thread_Names().count(name), 0U) << name;
  }
  EXPECT_FALSE(thread_->Send({Request_Kind::Key, U'x'}));  // refused, not blocked
}

TEST_F(Threads, NoPeriodicRedrawBeforeTheKeyLoopsFirstRequest) {
  Terminal terminal;
  Terminal_Thread thread(terminal, Terminal_Settings{output_, 1ms});
  thread.Start();
  std::this_thread::sleep_for(50ms);  // fifty periods: the start-up output stays clean
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(Runs(), 1);

  ASSERT_TRUE(thread.Send({Request_Kind::Refresh, 0}));
  ASSERT_TRUE(thread.Send({Request_Kind::History_Forward, 0}));  // the Refresh is drawn
  const int after_refresh = Runs();
  EXPECT_GE(after_refresh, 2);
  for (int i = 0; i < 3000 && Runs() == after_refresh; ++i) {
    std::this_thread::sleep_for(10ms);  // until deamon's next redraw
  }
  EXPECT_GT(Runs(), after_refresh);
}

TEST_F(Editor, TypingAppendsBackspaceRemovesAndEveryKeyRedraws) {
  Type(U"ls");
  EXPECT_EQ(Line(), U"ls");
  Type(U"\x7f\x7f\x7f");
  EXPECT_EQ(Line(), U"");
  Type(U"a\u00e9\U0001F600");
  Type(U"\x01\x08\x1b\x85");  // other control characters change nothing
  EXPECT_EQ(Line(), U"a\u00e9\U0001F600");
  Settle();
  const auto frame = Last_Frame(Output());
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->Line, Encode_Utf8(U"a\u00e9\U0001F600"));
  EXPECT_TRUE(frame->Prompt.starts_with("XTERM: 42.5%: ")) << frame->Prompt;
}

TEST_F(Editor, InertRequestsNeitherChangeTheLineNorRedraw) {
  Type(U"ls");
  Settle();
  const std::string before = Output();
  const int runs = Runs();
  for (const auto kind : {Request_Kind::Page_Down, Request_Kind::Page_Up, Request_Kind::Cursor_Left,
                          Request_Kind::Cursor_Right, Request_Kind::F12_Key,
                          Request_Kind::Delete_Key, Request_Kind::Home_Key, Request_Kind::End_Key,
                          Request_Kind::Insert_Key, Request_Kind::Spare_Request}) {
    Send(kind);
  }
  Settle();
  EXPECT_EQ(Output(), before + "\a");
  EXPECT_EQ(Runs(), runs);
  EXPECT_EQ(Line(), U"ls");
}

TEST_F(Editor, RefreshRightAfterAKeyDrawsNothingNew) {
  Settle();
  const int runs = Runs();
  Type(U"x");
  Send(Request_Kind::Refresh);  // what the key loop sends before its next read
  Settle();
  EXPECT_EQ(Runs(), runs + 1);  // the key's own redraw only
  Send(Request_Kind::Refresh);
  Settle();
  EXPECT_EQ(Runs(), runs + 2);  // nothing drew since the bell: this one does
}

TEST_F(Editor, HistoryWalksBothWaysAndRingsAtEitherEnd) {
  Settle();  // Down with nothing recalled rings
  EXPECT_EQ(Bells(Output()), 1);
  Send(Request_Kind::History_Back);  // Up on an empty history rings
  EXPECT_EQ(Bells(Output()), 2);

  Remember({U"e1", U"e2", U"e3"});
  const std::u32string up[] = {U"e3", U"e2", U"e1", U"e1"};
  for (const auto& expected : up) {
    Send(Request_Kind::History_Back);
    EXPECT_EQ(Line(), expected);
  }
  EXPECT_EQ(Bells(Output()), 3);
  const std::u32string down[] = {U"e2", U"e3", U"", U""};
  for (const auto& expected : down) {
    Send(Request_Kind::History_Forward);
    EXPECT_EQ(Line(), expected);
  }
  EXPECT_EQ(Bells(Output()), 4);
}

TEST_F(Editor, AShorterRecalledLineBlanksAllOfTheLongerOne) {
  const std::u32string long_line(30, U'a');
  Remember({long_line, U"b"});
  Send(Request_Kind::History_Back);
  Send(Request_Kind::History_Back);
  EXPECT_EQ(Line(), long_line);
  Send(Request_Kind::History_Forward);
  EXPECT_EQ(Line(), U"b");
  const auto frame = Last_Frame(Output());
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->Line, "b");
  EXPECT_GE(frame->Blanks, long_line.size());
}

TEST_F(Editor, TabCompletesListsOrReportsAndTheShellGoesOn) {
  fs::create_directories(dir_ / "sub");
  for (const char* name : {"main.c", "x1", "x2"}) {
    std::ofstream(dir_ / "sub" / name) << name;
  }
  Type(U"cat sub/ma\t");
  EXPECT_EQ(Line(), U"cat sub/main.c");

  Erase();
  Type(U"ls sub/x");
  Settle();
  std::string before = Output();
  Type(U"\t");
  Settle();
  EXPECT_EQ(Line(), U"ls sub/x");
  const std::string listing = Output().substr(before.size());
  // An empty line, then the matches in directory order, then the redraw.
  EXPECT_TRUE(listing.starts_with("\nsub/x1\nsub/x2\n\r") ||
              listing.starts_with("\nsub/x2\nsub/x1\n\r"))
      << listing;

  Erase();
  Type(U"ls x[");
  Settle();
  before = Output();
  Type(U"\t");
  EXPECT_EQ(Line(), U"ls x[");
  Type(U"y");
  EXPECT_EQ(Line(), U"ls x[y");
  Settle();
  EXPECT_TRUE(Output().substr(before.size()).starts_with("\nCompletion error: "));
}

TEST_F(Editor, ControlLRecordsTheStatusOfClear) {
  Type(U"ls\f");
  const int status = thread_->State().Last_Status;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(Line(), U"ls");
}

TEST_F(Editor, EnterOnAnEmptyLineDoesNothingAndAFullLineIsExecuted) {
  Settle();
  std::string before = Output();
  Type(U"\r");
  Settle();
  const std::string after_empty = Output().substr(before.size());
  EXPECT_EQ(after_empty.find('\n'), std::string::npos);
  EXPECT_EQ(thread_->State().History_Count, 0U);

  Type(U"+2.5\r");
  EXPECT_EQ(Line(), U"");
  EXPECT_EQ(nk::shared::Read_Total_Sum(), 250);
  Settle();
  const auto frame = Last_Frame(Output());
  ASSERT_TRUE(frame.has_value());
  EXPECT_TRUE(frame->Prompt.ends_with(": 2.50$ ")) << frame->Prompt;
}

}  // namespace
