// The CPU sampler on its own; as the prompt's bin/cpu, its figure is read like any other.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

#ifdef NELK_CPU_BINARY

namespace nk::pty_test {
namespace {

const std::regex Record("[0-9]{20} [0-9]{20} [0-9]{4} [0-9a-f]{8}\n");

// Runs the sampler in `tree` on the /proc/stat image `stat` (the real one when empty).
std::string Sample(const Temp_Tree& tree, const std::string& stat,
                   std::vector<std::string> environment = {}) {
  if (!stat.empty()) {
    tree.Write_File("stat", stat);
    environment.push_back("NELK_CPU_PROC_STAT=" + tree.Work() + "/stat");
  }
  const auto run = Run_Piped(tree, {.Program = NELK_CPU_BINARY, .Environment = environment});
  return std::to_string(run.Exit()) + " " + run.Output;
}

// An aggregate line of `busy` and `idle` ticks, and `processors` lines of processors.
std::string Stat(int busy, int idle, int processors = 1) {
  std::string image =
      "cpu  " + std::to_string(busy - 7) + " 2 5 " + std::to_string(idle - 3) + " 3 0 0 0 0 0\n";
  for (int n = 0; n < processors; ++n) image += "cpu" + std::to_string(n) + " 1 2 3 4 5 6 7 8\n";
  return image + "intr 1 2 3\nctxt 5\n";
}

TEST(InteractiveSampler, FiguresTheTimeSinceItsLastRun) {
  const struct {
    std::string Stat, Expected, Why;
  } steps[] = {
      {Stat(20, 80), "0 20.0\n", "first run: since boot"},
      {Stat(50, 130), "0 37.5\n", "30 busy of 80"},
      {Stat(59, 131), "0 37.5\n", "10 ticks are under a quarter second: repeated"},
      {Stat(80, 140), "0 75.0\n", "30 of 40 since the reading kept, not the repeat's"},
      {Stat(90, 200, 3), "0 75.0\n", "70 ticks are under a quarter second of 3 processors"},
      {Stat(110, 210, 3), "0 30.0\n", "30 of 100 over 3 processors"},
      {Stat(30, 10), "0 75.0\n", "counters went back (a new boot): since boot"},
      {Stat(40, 100), "0 10.0\n", "and from there on again"},
      {"cpu0 1 2 3 4 5 6 7 8\n", "1 ?\n", "no aggregate line"},
      {"cpu  1 2 3 4 5 6 7\n", "1 ?\n", "a field short"},
      {"cpu  99999999999999999999 1 1 1 1 1 1 1\n", "1 ?\n", "beyond 64 bits"},
  };
  const Temp_Tree tree;
  for (const auto& step : steps) EXPECT_EQ(Sample(tree, step.Stat), step.Expected) << step.Why;
  EXPECT_EQ(Sample(tree, "", {"NELK_CPU_PROC_STAT=" + tree.Work() + "/none"}), "1 ?\n");
  const std::string real = Sample(tree, "");
  EXPECT_TRUE(std::regex_match(real, std::regex("0 [0-9]{1,3}\\.[0-9]\n"))) << real;
}

// A damaged record counts as none: the figure since boot, and a good record after it.
TEST(InteractiveSampler, DamagedStateIsAFirstRun) {
  // 100 ticks, 80 idle, 20.0 %; its check value computed apart (FNV-1a of the 47 bytes).
  const std::string kept = "00000000000000000100 00000000000000000080 0200 ";
  const std::string check = "e8139a04\n", flipped = "00000000000000000200" + kept.substr(20);
  for (const std::string& content :
       {std::string(), kept + check, std::string("garbage\n"), std::string("100 80 20\n"),
        kept + "00000000\n", flipped + check, kept + check + std::string(100, 'x'),
        std::string(56, '\0')}) {
    SCOPED_TRACE(content);
    const Temp_Tree tree;
    const std::string state = "../home/.cache/nelk-cpu.state";  // Read_File is under Work()
    if (!content.empty()) tree.Write_File(state, content);
    // 30 of 80 from the good record; 50 of 180 since boot from anything else.
    EXPECT_EQ(Sample(tree, Stat(50, 130)), content == kept + check ? "0 37.5\n" : "0 27.8\n");
    const auto read = tree.Read_File(state);
    EXPECT_TRUE(read && std::regex_match(*read, Record)) << read.value_or("(none)");
    EXPECT_EQ(Sample(tree, Stat(80, 140)), "0 75.0\n");
  }
}

TEST(InteractiveSampler, ConcurrentRunsLeaveAGoodRecord) {
  const Temp_Tree tree;
  tree.Write_File("stat", Stat(20, 80));
  std::string many, sixteen;
  for (int n = 0; n < 16; ++n)
    many += std::string("'") + NELK_CPU_BINARY + "' & ", sixteen += "20.0\n";
  const auto ran = Run_Piped(tree, {.Program = "/bin/sh",
                                    .Arguments = {"-c", many + "wait"},
                                    .Environment = {"NELK_CPU_PROC_STAT=stat"}});
  EXPECT_EQ(ran.Output, sixteen);
  EXPECT_EQ(Sample(tree, Stat(50, 130)), "0 37.5\n");  // the kept reading is 100 and 80
}

TEST(InteractiveSampler, FallsBackWhereNoStateCanBeKept) {
  const Temp_Tree tree;
  const std::string runtime = tree.Home() + "/run";
  std::filesystem::create_directory(runtime);
  EXPECT_EQ(Sample(tree, Stat(20, 80), {"XDG_RUNTIME_DIR=" + runtime}), "0 20.0\n");
  EXPECT_TRUE(std::filesystem::exists(runtime + "/nelk-cpu.state"));
  EXPECT_FALSE(std::filesystem::exists(tree.Home() + "/.cache"));
  // A runtime folder that cannot be written: the home folder's cache keeps the state.
  for (const std::string& gone : {runtime + "/gone", tree.Work() + "/stat/x"}) {
    EXPECT_EQ(Sample(tree, Stat(50, 130), {"XDG_RUNTIME_DIR=" + gone}), "0 27.8\n");
    EXPECT_EQ(Sample(tree, Stat(80, 140), {"XDG_RUNTIME_DIR=" + gone}), "0 75.0\n") << gone;
  }
  EXPECT_TRUE(std::filesystem::exists(tree.Home() + "/.cache/nelk-cpu.state"));
  // Nowhere to keep it (a state that is a folder, a home that is a file): since boot, always.
  std::filesystem::remove(tree.Home() + "/.cache/nelk-cpu.state");
  std::filesystem::create_directory(tree.Home() + "/.cache/nelk-cpu.state");
  for (const std::string& home : {tree.Home(), tree.Work() + "/stat"}) {
    EXPECT_EQ(Sample(tree, Stat(50, 130), {"HOME=" + home}), "0 27.8\n");
    EXPECT_EQ(Sample(tree, Stat(80, 140), {"HOME=" + home}), "0 36.4\n") << home;  // 80 of 220
  }
}

}  // namespace
}  // namespace nk::pty_test

#endif
