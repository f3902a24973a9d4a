// The terminal thread and its background threads, run for real against a fake sampler.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <semaphore>
#include <string>
#include <thread>
#include <tuple>

#include "asleep.hpp"
#include "nk-shared.hpp"
#include "screen/cpu_process.hpp"
#include "screen/deamon.hpp"
#include "screen/screen.hpp"
#include "shell/scratch.hpp"
#include "sync/semaphore_guard.hpp"
#include "threads/terminal_thread.hpp"

namespace {

namespace fs = std::filesystem;
using namespace nk::main;
using namespace std::chrono_literals;

std::string Read_File(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// HOME and the total in the scratch directory, a sampler noting its runs, an output file.
class Threads : public nk::shell::Scratch_Test {
 protected:
  void SetUp() override {
    Scratch_Test::SetUp();
    ASSERT_TRUE(nk::shared::Pin_Total_Directory());
    nk::shared::Write_Total_Sum(0);
    ::setenv("HOME", root_.c_str(), 1);
    Sampler("42.5\\n");
    output_ = ::open((root_ + "/output").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(output_, 0);
  }
  void TearDown() override {
    ::close(output_);
    nk::shared::Unpin_Total_Directory();
    Scratch_Test::TearDown();
  }

  // A sampler that notes its run and prints `usage`.
  void Sampler(const std::string& usage) {
    const fs::path cpu = root_ + "/bin/cpu";
    fs::create_directories(cpu.parent_path());
    std::ofstream(cpu) << "#!/bin/sh\necho run >> '" << (root_ + "/runs") << "'\nprintf '" << usage
                       << "'\n";
    fs::permissions(cpu, fs::perms::owner_all);
  }
  auto Runs() const { return std::ranges::count(Read_File(root_ + "/runs"), '\n'); }
  std::string Output() const { return Read_File(root_ + "/output"); }

  int output_ = -1;
};

// The figure's format, a sample before the first good one: prompt_test.cpp, tests/e2e.
TEST_F(Threads, UsageSurvivesBadSamples) {
  std::binary_semaphore directory_lock{1};
  Cpu_Process cpu(directory_lock);
  cpu.Start();
  const std::optional<std::string> usages[] = {"7\\n", "", std::nullopt};
  for (const auto& usage : usages) {
    usage ? Sampler(*usage) : (void)fs::remove(root_ + "/bin/cpu");
    // An empty file and a missing sampler keep the last figure.
    EXPECT_EQ(cpu.Sample(), "    7%") << usage.value_or("no sampler");
    ASSERT_TRUE(directory_lock.try_acquire());  // released after every sample
    directory_lock.release();
  }
  EXPECT_EQ(Runs(), 2);
  cpu.Stop();
  cpu.Join();
  EXPECT_FALSE(cpu.Sample().has_value());  // turned away at once, not blocked
}

TEST_F(Threads, DeamonRedrawsWhenIdleAndNeverWhilePaused) {
  std::counting_semaphore<> redrawn{0};
  Deamon deamon([&] { redrawn.release(); }, 1ms);
  deamon.Start();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(redrawn.try_acquire_for(30s));
  deamon.Pause();
  deamon.Pause();
  while (redrawn.try_acquire()) continue;
  EXPECT_FALSE(Wait_Asleep_In(Thread_Named("deamon")));  // no deadline: no redraw to come
  EXPECT_FALSE(redrawn.try_acquire());
  deamon.Resume();  // one Resume undoes both Pauses
  EXPECT_TRUE(redrawn.try_acquire_for(30s));
  deamon.Pause();
  deamon.Stop();  // ends a paused deamon at once
  deamon.Join();
}

// A total file damaged after a good read shows "?.??" at the last total's width.
TEST_F(Threads, ScreenBlanksThePreviousFrameAndKeepsGoingOnADamagedTotal) {
  Terminal terminal{Terminal_Kind::XTERM, ""};
  Shell_State state(terminal);
  state.Line = U"ls \U0001F600";
  state.Previous_Length = 4;
  state.Total_Width = 5;
  Cpu_Process cpu(state.Directory_Lock);
  Screen screen(state, cpu, output_, false);
  cpu.Start();
  screen.Start();
  const auto expect_frame = [](const std::string& frame, const char* total, std::size_t blanks) {
    const std::string prompt = frame.substr(1, frame.find("$ ") + 1);
    EXPECT_TRUE(prompt.ends_with(total)) << prompt;
    EXPECT_EQ(frame,
              "\r" + prompt + std::string(blanks, ' ') + "\r" + prompt + "ls \xf0\x9f\x98\x80");
  };
  nk::shared::Write_Total_Sum(12'345'678);
  screen.Refresh();
  const std::string first = Output();
  expect_frame(first, ": 123456.78$ ", 4 + 5 + 6);
  fs::resize_file(fs::path(root_) / nk::shared::Total_File_Name, 2);
  screen.Refresh();
  expect_frame(Output().substr(first.size()), ":      ?.??$ ", 0 + 10 + 6);
  EXPECT_EQ(Runs(), 2);  // each redraw takes a fresh sample
  ASSERT_TRUE(state.Line_Lock.try_acquire());
  state.Line_Lock.release();
}

// A redraw every millisecond often waits for the line as Enter runs cd or a total, or Tab
// walks a folder: neither may hold the line while waiting for it, nor leave it paused.
TEST_F(Threads, CommandsRunWhileThePromptRedrawsEveryMillisecond) {
  fs::create_directory(root_ + "/xyz");
  Terminal terminal;
  Terminal_Thread thread(terminal, Terminal_Settings{output_, 1ms});
  thread.Start();
  std::binary_semaphore typed{0};
  std::thread typist([&] {
    for (int round = 0; round < 10; ++round)
      for (const char32_t key : std::u32string_view(U"cd xy\t\r+1\rcd ..\r+1\r"))
        thread.Send({Request_Kind::Key, key});
    typed.release();
  });
  if (!typed.try_acquire_for(120s)) {
    std::cerr << "Enter or Tab hung with a periodic redraw under way\n";
    std::_Exit(1);  // the hung threads cannot be joined
  }
  typist.join();
  EXPECT_EQ(nk::shared::Read_Total_Sum(), 2000);
  EXPECT_EQ(fs::current_path(), root_);          // every Tab completed "xyz": cd .. came back
  thread.Send({Request_Kind::History_Forward});  // returns once the last key's frame is drawn
  const auto runs = Runs();
  for (int wait = 0; wait < 3000 && Runs() == runs; ++wait) std::this_thread::sleep_for(10ms);
  EXPECT_GT(Runs(), runs) << "the prompt is still redrawn after the last command";
}

class Editor : public Threads {
 protected:
  void SetUp() override {
    Threads::SetUp();
    // No periodic redraw: every frame in the output comes from a request.
    thread_ = std::make_unique<Terminal_Thread>(terminal_, Terminal_Settings{output_, 24h});
    thread_->Start();
  }
  // Quit stops the workers (Join waits for all four); later requests are turned away.
  void TearDown() override {
    EXPECT_TRUE(thread_->Send({Request_Kind::Quit, 0}));
    thread_->Join();
    EXPECT_FALSE(thread_->Send({Request_Kind::Key, U'x'}));
    Threads::TearDown();
  }

  void Send(Request_Kind kind) { ASSERT_TRUE(thread_->Send({kind, 0})); }
  void Type(std::u32string_view keys) {
    for (const char32_t key : keys) ASSERT_TRUE(thread_->Send({Request_Kind::Key, key}));
  }
  std::u32string Line() {
    Semaphore_Guard hold(thread_->State().Line_Lock);
    return thread_->State().Line;
  }
  // Returns once every earlier request and its redraw are done; rings the bell.
  void Settle() {
    ASSERT_EQ(thread_->State().History_Position, 0U);
    Send(Request_Kind::History_Forward);
  }
  auto Bells() const { return std::ranges::count(Output(), '\a'); }

  Terminal terminal_{Terminal_Kind::XTERM, ""};
  std::unique_ptr<Terminal_Thread> thread_;
};

// Start returns with every thread running and the periodic redraw paused. Other control
// keys, requests without an action and a Refresh right after a key's frame draw nothing.
TEST_F(Editor, StartsPausedAndOnlyEditingKeysChangeOrRedrawTheLine) {
  for (const char* name : {"terminal.proc", "cpu_process", "screen", "deamon"})
    ASSERT_NE(Thread_Named(name), 0) << name;
  EXPECT_FALSE(Wait_Asleep_In(Thread_Named("deamon")));
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(Runs(), 0);
  Type(U"\x7f\ra\u00e9\U0001F600\x01\x08\x1b\x85\x7f\x7f");
  Settle();
  const std::string before = Output();
  const auto runs = Runs();
  using enum Request_Kind;
  for (const auto kind : {Page_Down, Page_Up, Cursor_Left, Cursor_Right, F12_Key, Delete_Key,
                          Home_Key, End_Key, Insert_Key, Spare_Request})
    Send(kind);
  Settle();
  EXPECT_EQ(Output(), before + "\a");
  EXPECT_EQ(Runs(), runs);
  EXPECT_EQ(Line(), U"a");  // two Backspaces took two characters, not two bytes
  EXPECT_EQ(before.find('\n'), std::string::npos);
  EXPECT_EQ(thread_->State().History_Count(), 0U);
  Type(U"x");
  Send(Request_Kind::Refresh);  // what the key loop sends before its next read
  Settle();
  EXPECT_EQ(Runs(), runs + 1);  // the key's own redraw only
  Send(Request_Kind::Refresh);
  Settle();
  EXPECT_EQ(Runs(), runs + 2);  // nothing drew since the bell: this one does
}

// Both ends of the history ring, an empty history included.
TEST_F(Editor, HistoryWalksBothWaysAndRingsAtEitherEnd) {
  Send(Request_Kind::History_Back);
  EXPECT_EQ(Bells(), 1);
  // Lines of two, three and four bytes a character, and a byte that is no UTF-8.
  const char32_t *e1 = U"\u00e91 \u20ac\U0001F600", *e2 = U"e2\xdcff\u00e9";
  for (const char32_t* line : {e1, e2}) thread_->State().History.Append(line);
  // Back or forward, the line then, the bells rung so far.
  const std::tuple<bool, const char32_t*, int> steps[] = {
      {true, e2, 1},  {true, e1, 1},   {true, e1, 2},  // the oldest, then the bell
      {false, e2, 2}, {false, U"", 2}, {false, U"", 3}};
  for (const auto& [back, line, bells] : steps) {
    Send(back ? Request_Kind::History_Back : Request_Kind::History_Forward);
    EXPECT_EQ(Line(), line);
    EXPECT_EQ(Bells(), bells);
  }
}

}  // namespace
