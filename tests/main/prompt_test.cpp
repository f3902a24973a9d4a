#include "main/prompt.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace nk::main;

TEST(Prompt, UsageFieldIsFiveColumnsRightAlignedThenPercent) {
  const std::pair<std::string, std::string> cases[] = {
      {"7", "    7%"}, {"12.5", " 12.5%"},   {"100.0", "100.0%"},
      {"", "     %"},  {"123456", "12345%"}, {"99.9999999", "99.99%"},
  };
  for (const auto& [line, field] : cases) {
    EXPECT_EQ(Usage_Field(line), field) << '"' << line << '"';
  }
}

TEST(Prompt, PromptCarriesKindUsageUtcTimeAndTotal) {
  struct Case {
    Terminal_Kind Kind;
    const char* Usage;
    Clock_Time Time;
    const char* Total;
    const char* Prompt;
  };
  const Case cases[] = {
      {Terminal_Kind::XTERM, " 12.5%", {21, 7, 8}, " 0.00", "XTERM: 12.5%: 21:07:08: 0.00$ "},
      {Terminal_Kind::LINUX, "100.0%", {0, 0, 0}, "-3.50", "LINUX:100.0%: 00:00:00:-3.50$ "},
      {Terminal_Kind::NONE,
       "      ",
       {23, 59, 59},
       " 999999.99",
       "NONE:      : 23:59:59: 999999.99$ "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Build_Prompt(c.Kind, c.Usage, c.Time, c.Total), c.Prompt);
  }
}

TEST(Prompt, UtcTimeOfKnownMoments) {
  struct Case {
    std::time_t Moment;
    int Hours, Minutes, Seconds;
  };
  const Case cases[] = {
      {0, 0, 0, 0}, {86'399, 23, 59, 59}, {1'700'000'000, 22, 13, 20}, {3'723, 1, 2, 3}};
  for (const auto& c : cases) {
    const Clock_Time time = Utc_Time(c.Moment);
    EXPECT_EQ(time.Hours, c.Hours) << c.Moment;
    EXPECT_EQ(time.Minutes, c.Minutes) << c.Moment;
    EXPECT_EQ(time.Seconds, c.Seconds) << c.Moment;
  }
}

TEST(Prompt, UnknownTotalKeepsTheLastWidth) {
  const std::pair<std::size_t, std::string> cases[] = {
      {0, " ?.??"}, {5, " ?.??"}, {6, "  ?.??"}, {10, "      ?.??"}};
  for (const auto& [width, text] : cases) {
    EXPECT_EQ(Unknown_Total(width), text) << width;
  }
}

TEST(Prompt, FrameBlanksThenRedrawsWithTheLineInUtf8) {
  const std::string prompt = "XTERM: 12.5%: 21:07:08: 0.00$ ";
  EXPECT_EQ(Build_Frame(prompt, 3, U"ls \u00e9\U0001F600"),
            "\r" + prompt + "   \r" + prompt + "ls \xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(Build_Frame(prompt, 0, U""), "\r" + prompt + "\r" + prompt);
}

// A temporary directory, removed with everything in it.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "nelk-prompt-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Scratch() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

std::string Read_File(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write_Sampler(const fs::path& home, const std::string& output) {
  fs::create_directories(home / "bin");
  const fs::path cpu = home / "bin" / "cpu";
  std::ofstream(cpu) << "#!/bin/sh\nprintf '" << output << "\\n'\n";
  fs::permissions(cpu, fs::perms::owner_all);
}

TEST(Prompt, SampleCommandRunsTheSamplerOfAnAwkwardHome) {
  Scratch scratch;
  for (const char* name : {"plain", "with blanks", "quote's", "double\"quote", "dollar $HOME",
                           "back`tick`", "semi;colon"}) {
    const fs::path home = scratch.Path() / name;
    Write_Sampler(home, "42.5");
    EXPECT_EQ(Sample_File(home.string()), (home / ".cpu_usage.txt").string());
    std::system(Sample_Command(home.string()).c_str());
    EXPECT_EQ(Read_File(home / ".cpu_usage.txt"), "42.5\n") << name;
  }
}

TEST(Prompt, SampleCommandRunsNothingHiddenInHome) {
  Scratch scratch;
  const fs::path witness = scratch.Path() / "injected";
  for (const std::string& trap :
       {"/x$(touch " + witness.string() + ")", "/x`touch " + witness.string() + "`",
        "/x';touch " + witness.string() + ";'", "/x\";touch " + witness.string() + ";\""}) {
    std::system(Sample_Command(scratch.Path().string() + trap).c_str());
    EXPECT_FALSE(fs::exists(witness)) << trap;
  }
}

}  // namespace
