// The CPU sampler on its own and as the prompt's bin/cpu.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "e2e/pty_session.hpp"

#ifdef NELK_CPU_BINARY

namespace {

using nk::pty_test::Parse_Prompt;
using nk::pty_test::Pty_Session;
using nk::pty_test::Run_Piped;
using nk::pty_test::Session_Options;
using nk::pty_test::Temp_Tree;

// A figure of at most five characters between 0.0 and 100.0, then a line end.
void Expect_Figure(const nk::pty_test::Piped_Run& run) {
  ASSERT_TRUE(run.Status && WIFEXITED(*run.Status) && WEXITSTATUS(*run.Status) == 0) << run.Output;
  std::smatch match;
  ASSERT_TRUE(std::regex_match(run.Output, match, std::regex("([0-9]{1,3}\\.[0-9])\n")))
      << run.Output;
  const double value = std::stod(match[1]);
  EXPECT_GE(value, 0.0);
  EXPECT_LE(value, 100.0);
}

std::string Read(const std::string& path) {
  std::ifstream file(path);
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

TEST(InteractiveSampler, KeepsItsReadingUnderTheCache) {
  const Temp_Tree tree("");
  Session_Options options;
  options.Program = NELK_CPU_BINARY;
  const std::string state = tree.Home() + "/.cache/nelk-cpu.state";
  for (int round = 0; round < 3; ++round) {
    Expect_Figure(Run_Piped(tree, options, ""));
    EXPECT_TRUE(std::regex_match(Read(state), std::regex("[0-9]+ [0-9]+ [0-9.e+-]+\n")))
        << Read(state);
  }
}

TEST(InteractiveSampler, PrefersTheRuntimeDirectory) {
  const Temp_Tree tree("");
  Session_Options options;
  options.Program = NELK_CPU_BINARY;
  const std::string runtime = tree.Root() + "/run";
  std::filesystem::create_directory(runtime);
  options.Environment.emplace_back("XDG_RUNTIME_DIR", runtime);
  Expect_Figure(Run_Piped(tree, options, ""));
  EXPECT_TRUE(std::filesystem::exists(runtime + "/nelk-cpu.state"));
  EXPECT_FALSE(std::filesystem::exists(tree.Home() + "/.cache/nelk-cpu.state"));
}

TEST(InteractiveSampler, SurvivesABadStateFile) {
  const char* contents[] = {"",          "garbage\n",     "5 10 3\n",
                            "1 0 500\n", "1 0 1 extra\n", "99999999999999999999999 1 1\n",
                            "-1 -1 -1\n"};
  for (const char* content : contents) {
    const Temp_Tree tree("");
    Session_Options options;
    options.Program = NELK_CPU_BINARY;
    std::filesystem::create_directories(tree.Home() + "/.cache");
    const std::string state = tree.Home() + "/.cache/nelk-cpu.state";
    std::ofstream(state) << content;
    Expect_Figure(Run_Piped(tree, options, ""));
    EXPECT_TRUE(std::regex_match(Read(state), std::regex("[0-9]+ [0-9]+ [0-9.e+-]+\n")))
        << "rewritten after " << content;
  }
  // A state file that is a directory cannot be replaced: the figure still comes.
  const Temp_Tree tree("");
  Session_Options options;
  options.Program = NELK_CPU_BINARY;
  std::filesystem::create_directories(tree.Home() + "/.cache/nelk-cpu.state");
  Expect_Figure(Run_Piped(tree, options, ""));
}

TEST(InteractiveSampler, FeedsThePrompt) {
  Session_Options options;
  options.Cpu_Script = std::string("#!/bin/sh\nexec '") + NELK_CPU_BINARY + "'\n";
  Pty_Session session(options);
  ASSERT_TRUE(session.Wait_For_Frame());
  const auto frame = session.Wait_For_Frame();
  ASSERT_TRUE(frame);
  const auto fields = Parse_Prompt(frame->Prompt);
  ASSERT_TRUE(fields);
  EXPECT_TRUE(std::regex_match(fields->Usage, std::regex(" *[0-9]{1,3}\\.[0-9]%")))
      << fields->Usage;
}

}  // namespace

#endif
