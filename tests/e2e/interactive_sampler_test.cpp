// The CPU sampler on its own and as the prompt's bin/cpu.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

#ifdef NELK_CPU_BINARY

namespace nk::pty_test {
namespace {

const std::regex Figure("[0-9]{1,3}\\.[0-9]\n");
const std::regex State("[0-9]+ [0-9]+ [0-9.e+-]+\n");

// Runs the sampler in `tree`: a figure from 0.0 to 100.0 comes out.
void Expect_Figure(const Temp_Tree& tree, const std::vector<std::string>& environment = {}) {
  const auto run = Run_Piped(tree, {.Program = NELK_CPU_BINARY, .Environment = environment});
  EXPECT_EQ(run.Exit(), 0) << run.Output;
  ASSERT_TRUE(std::regex_match(run.Output, Figure)) << run.Output;
  EXPECT_LE(std::stod(run.Output), 100.0) << run.Output;
}

TEST(InteractiveSampler, KeepsItsReadingAndSurvivesABadOne) {
  for (const char* content : {(const char*)nullptr, "", "garbage\n", "5 10 3\n", "1 0 500\n",
                              "1 0 1 extra\n", "99999999999999999999999 1 1\n", "-1 -1 -1\n"}) {
    SCOPED_TRACE(content ? content : "(none)");
    const Temp_Tree tree;
    const std::string state = "../home/.cache/nelk-cpu.state";  // Read_File is under Work()
    if (content) tree.Write_File(state, content);
    for (int round = content ? 1 : 0; round < 2; ++round) {  // a second run reads the first's
      Expect_Figure(tree);
      const auto read = tree.Read_File(state);
      EXPECT_TRUE(read && std::regex_match(*read, State)) << read.value_or("(none)");
    }
  }
  // A state file that is a directory cannot be replaced: the figure still comes.
  const Temp_Tree tree;
  std::filesystem::create_directories(tree.Home() + "/.cache/nelk-cpu.state");
  Expect_Figure(tree);
}

TEST(InteractiveSampler, PrefersTheRuntimeDirectory) {
  const Temp_Tree tree;
  const std::string runtime = tree.Home() + "/run";
  std::filesystem::create_directory(runtime);
  Expect_Figure(tree, {"XDG_RUNTIME_DIR=" + runtime});
  EXPECT_TRUE(std::filesystem::exists(runtime + "/nelk-cpu.state"));
  EXPECT_FALSE(std::filesystem::exists(tree.Home() + "/.cache/nelk-cpu.state"));
}

TEST(InteractiveSampler, FeedsThePrompt) {
  Pty_Session session({.Cpu_Script = std::string("#!/bin/sh\nexec '") + NELK_CPU_BINARY + "'\n"});
  const std::string usage = session.Wait_For_Frame().Usage;
  EXPECT_TRUE(std::regex_match(usage, std::regex(" *[0-9]{1,3}\\.[0-9]%"))) << usage;
}

}  // namespace
}  // namespace nk::pty_test

#endif
