#include "screen/prompt.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "screen/cpu_process.hpp"
#include "shell/scratch.hpp"

namespace {

namespace fs = std::filesystem;
using namespace nk::main;

TEST(Prompt, UsageFieldIsFiveColumnsRightAlignedThenPercent) {
  // Then "9" and two CJK characters cut at each byte: whole characters within five bytes,
  // in five columns; the bytes of a character cut short by the sampler itself, one each.
  const std::pair<std::string, std::string> cases[] = {
      // clang-format off
      {"7", "    7%"}, {"12.5", " 12.5%"}, {"100.0", "100.0%"}, {"", "     %"},
      {"123456", "12345%"}, {"99.9999999", "99.99%"}, {"9", "    9%"}, {"9\xe6", "   9\xe6%"},
      {"9\xe6\x97", "  9\xe6\x97%"}, {"9\xe6\x97\xa5", "  9\xe6\x97\xa5%"},
      {"9\xe6\x97\xa5\xe6", " 9\xe6\x97\xa5\xe6%"},
      {"9\xe6\x97\xa5\xe6\x9c", " 9\xe6\x97\xa5\xe6%"},
      {"9\xe6\x97\xa5\xe6\x9c\xac", "  9\xe6\x97\xa5%"},
      // clang-format on
  };
  for (const auto& [line, field] : cases) EXPECT_EQ(Usage_Field(line), field) << '"' << line << '"';
}

TEST(Prompt, PromptCarriesKindUsageUtcTimeAndTotal) {
  const std::tuple<Terminal_Kind, const char*, std::time_t, const char*, const char*> cases[] = {
      {Terminal_Kind::XTERM, " 12.5%", 76'028, " 0.00", "XTERM: 12.5%: 21:07:08: 0.00$ "},
      {Terminal_Kind::LINUX, "100.0%", 0, "-3.50", "LINUX:100.0%: 00:00:00:-3.50$ "},
      {Terminal_Kind::NONE, "      ", 86'399, " 999999.99", "NONE:      : 23:59:59: 999999.99$ "},
      {Terminal_Kind::XTERM, "    7%", 1'700'000'000, " 0.00", "XTERM:    7%: 22:13:20: 0.00$ "},
  };
  for (const auto& [kind, usage, moment, total, prompt] : cases)
    EXPECT_EQ(Build_Prompt(kind, usage, moment, total), prompt);
}

TEST(Prompt, UnknownTotalKeepsTheLastWidth) {
  const std::pair<std::size_t, std::string> cases[] = {
      {0, " ?.??"}, {5, " ?.??"}, {6, "  ?.??"}, {10, "      ?.??"}};
  for (const auto& [width, text] : cases) EXPECT_EQ(Unknown_Total(width), text) << width;
}

// The sampler of an awkward HOME runs, and nothing hidden in HOME runs.
using SampleCommand = nk::shell::Scratch_Test;
TEST_F(SampleCommand, QuotesHome) {
  for (const char* name : {"plain", "with blanks", "quote's", "double\"quote", "dollar $HOME",
                           "back`tick`", "semi;colon"}) {
    const fs::path home = fs::path(root_) / name;
    fs::create_directories(home / "bin");
    std::ofstream(home / "bin" / "cpu") << "#!/bin/sh\nprintf '42.5\\n'\n";
    fs::permissions(home / "bin" / "cpu", fs::perms::owner_all);
    EXPECT_EQ(std::system(Sample_Command(home.string()).c_str()), 0) << name;
    std::string sample;
    std::getline(std::ifstream(home / ".cpu_usage.txt"), sample);
    EXPECT_EQ(sample, "42.5") << name;
  }
}

}  // namespace
