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

#include "nk-shared.hpp"
#include "screen/cpu_process.hpp"
#include "screen/deamon.hpp"
#include "screen/screen.hpp"
#include "threads/semaphore_guard.hpp"
#include "threads/terminal_thread.hpp"

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

// HOME and the working directory (so also where the total lives) in a temporary
// directory, with a sampler that logs each run, a "clear" that fails with 3 first on
// PATH, and a file that receives the terminal output.
class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "PATH"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
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
    for (const auto& [name, value] : saved_) {
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
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

  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
  fs::path dir_;
  fs::path old_cwd_;
  int output_ = -1;
};

using Threads = Sandbox;

TEST_F(Threads, UsageComesFromTheSampleFileAndSurvivesBadSamples) {
  futex::Lean_Lock directory_lock;
  Cpu_Process cpu(directory_lock);
  cpu.Start();
  EXPECT_EQ(cpu.Get_Usage(), std::string(6, ' '));  // no sample yet
  const std::pair<std::optional<std::string>, std::string> samples[] = {
      {"7", "    7%"},
      {"", "    7%"},  // an empty file keeps the last figure
      {"123456789", "12345%"},
      {std::nullopt, "12345%"},  // no sampler at all
  };
  for (const auto& [usage, expected] : samples) {
    usage ? Sampler(*usage) : (void)fs::remove(dir_ / "bin" / "cpu");
    cpu.Sample();
    EXPECT_EQ(cpu.Get_Usage(), expected) << usage.value_or("no sampler");
    EXPECT_FALSE(fs::exists(dir_ / ".cpu_usage.txt"));
    ASSERT_TRUE(directory_lock.try_acquire());  // released after every sample
    directory_lock.release();
  }
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

struct Frame {
  std::string Prompt;
  std::size_t Blanks = 0;  // after the first prompt
  std::string Line;        // after the second prompt
};

// The frame at the end of `output`, bells after it ignored: "\r" prompt blanks "\r" prompt line.
std::optional<Frame> Last_Frame(const std::string& output) {
  static const std::regex frame("\r([^\r]*\\$ )( *)\r\\1([^\r]*?)\a*$");
  std::smatch match;
  if (!std::regex_search(output, match, frame)) {
    return std::nullopt;
  }
  return Frame{match[1], static_cast<std::size_t>(match[2].length()), match[3]};
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
  EXPECT_EQ(Runs(), 1);  // each redraw takes a fresh sample

  fs::resize_file(dir_ / nk::shared::Total_File_Name, 2);
  screen.Refresh();
  frame = Last_Frame(Output().substr(first.size()));
  ASSERT_TRUE(frame.has_value());
  EXPECT_TRUE(frame->Prompt.ends_with(":      ?.??$ ")) << frame->Prompt;
  EXPECT_EQ(frame->Blanks, 0U + 10U + 6U);  // the line drawn last time, the last total's width
  ASSERT_TRUE(state.Line_Lock.try_acquire());
  state.Line_Lock.release();
}

TEST_F(Threads, NoPeriodicRedrawBeforeTheKeyLoopsFirstRequest) {
  Terminal terminal;
  Terminal_Thread thread(terminal, Terminal_Settings{output_, 1ms});
  thread.Start();
  std::this_thread::sleep_for(50ms);  // fifty periods: the start-up output stays clean
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(Runs(), 0);  // nor a sample: a one-shot run never spawns the sampler

  ASSERT_TRUE(thread.Send({Request_Kind::Refresh, 0}));
  ASSERT_TRUE(thread.Send({Request_Kind::History_Forward, 0}));  // the Refresh is drawn
  const int after_refresh = Runs();
  EXPECT_GE(after_refresh, 1);
  for (int i = 0; i < 3000 && Runs() == after_refresh; ++i) {
    std::this_thread::sleep_for(10ms);  // until deamon's next redraw
  }
  EXPECT_GT(Runs(), after_refresh);
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
  int Bells() const {
    const std::string output = Output();
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
    if (name.ends_with('\n')) {
      name.pop_back();
    }
    names.insert(name);
  }
  return names;
}

TEST_F(Editor, StartsFourNamedThreadsAndQuitEndsThemAll) {
  Settle();
  const char* const names[] = {"terminal.proc", "screen", "deamon", "cpu_process"};
  for (const char* name : names) {
    EXPECT_EQ(Thread_Names().count(name), 1U) << name;
  }
  EXPECT_TRUE(thread_->Send({Request_Kind::Quit, 0}));
  thread_->Join();
  for (const char* name : names) {
    EXPECT_EQ(Thread_Names().count(name), 0U) << name;
  }
  EXPECT_FALSE(thread_->Send({Request_Kind::Key, U'x'}));  // refused, not blocked
}

// Other control characters and requests without an action leave the line alone; those
// requests do not even redraw.
TEST_F(Editor, OnlyEditingKeysChangeTheLine) {
  Type(
      U"\x7f"
      U"a\u00e9\U0001F600\x01\x08\x1b\x85");
  EXPECT_EQ(Line(), U"a\u00e9\U0001F600");
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
  EXPECT_EQ(Line(), U"a\u00e9\U0001F600");
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

TEST_F(Editor, HistoryWalksBothWaysRingsAtEitherEndAndBlanksLongerLines) {
  Settle();                          // Down with nothing recalled rings
  Send(Request_Kind::History_Back);  // Up on an empty history rings
  EXPECT_EQ(Bells(), 2);
  const std::u32string long_line(30, U'a');
  for (const auto& line : {long_line, std::u32string(U"e2"), std::u32string(U"e3")}) {
    thread_->State().History.Append(line);
  }
  for (const auto& expected : {U"e3", U"e2", long_line.c_str(), long_line.c_str()}) {
    Send(Request_Kind::History_Back);
    EXPECT_EQ(Line(), expected);
  }
  EXPECT_EQ(Bells(), 3);
  for (const auto& expected : {U"e2", U"e3", U"", U""}) {
    Send(Request_Kind::History_Forward);
    EXPECT_EQ(Line(), expected);
    if (expected == std::u32string_view(U"e2")) {
      const auto frame = Last_Frame(Output());
      ASSERT_TRUE(frame.has_value());
      EXPECT_EQ(frame->Line, "e2");
      EXPECT_GE(frame->Blanks, long_line.size());  // the longer line is wiped out
    }
  }
  EXPECT_EQ(Bells(), 4);
}

TEST_F(Editor, CompletionErrorIsReportedAndTheShellGoesOn) {
  Type(U"ls x[");
  Settle();
  const std::string before = Output();
  Type(U"\t");
  EXPECT_EQ(Line(), U"ls x[");
  Type(U"y");
  EXPECT_EQ(Line(), U"ls x[y");
  Settle();
  EXPECT_TRUE(Output().substr(before.size()).starts_with("\nCompletion error: "));
}

TEST_F(Editor, EnterRunsAFullLineOnlyAndControlLRecordsTheStatusOfClear) {
  Settle();
  const std::string before = Output();
  Type(U"\r");
  Settle();
  EXPECT_EQ(Output().find('\n', before.size()), std::string::npos);
  EXPECT_EQ(thread_->State().History_Count(), 0U);

  Type(U"+2.5\r");
  EXPECT_EQ(Line(), U"");
  EXPECT_EQ(nk::shared::Read_Total_Sum(), 250);

  Type(U"ls\f");
  const int status = thread_->State().Last_Status;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(Line(), U"ls");
}

}  // namespace
