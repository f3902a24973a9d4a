// Completed names as sh reads them back: quoted when they hold a character special to
// sh, as they are otherwise, in UTF-8 and with invalid bytes kept.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "nk-shell.hpp"
#include "quote.hpp"

namespace nk::shell {
namespace {

namespace fs = std::filesystem;

// What /bin/sh -c `command` writes.
std::string Output_Of(const std::string& command) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

TEST(CompletionQuote, CompletedNamesReachTheShellAsExactlyThemselves) {
  std::string pattern = (fs::temp_directory_path() / "nkquoteXXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;
  const fs::path start = fs::current_path();
  fs::current_path(root);
  struct Case {
    std::string name;
    bool quoted;
  };
  std::vector<Case> cases;
  for (const char special : Shell_Special)
    cases.push_back({std::string("a") + special + "b", true});
  for (const char* trap : {"it's", "'", "$(touch hit)", "`touch hit`", "x;touch hit", "a b&c"}) {
    cases.push_back({trap, true});
  }
  for (const char* plain : {"plain.txt", "caf\xc3\xa9.txt", "\xe6\x97\xa5\xe6\x9c\xac", "g++-12",
                            "a!b^c,d:e@f]", "bad\xff\xfe.txt", "-dash"}) {
    cases.push_back({plain, false});
  }
  for (std::size_t k = 0; k < cases.size(); ++k) {
    // Each name alone in its own directory, completed from a word that finds it alone.
    const std::string directory = "d" + std::to_string(k);
    fs::create_directory(directory);
    std::ofstream(root / directory / cases[k].name) << "";
    const Completion_Answer answer = Complete_Last_Word("printf %s " + directory + "/");
    ASSERT_TRUE(answer.New_Line) << cases[k].name;
    const std::string line = text::Encode_Utf8(*answer.New_Line);
    const std::string path = directory + "/" + cases[k].name;
    EXPECT_EQ(line, "printf %s " + (cases[k].quoted ? Shell_Quote(path) : path)) << path;
    EXPECT_EQ(Quote_If_Special(path) == path, !cases[k].quoted) << path;
    EXPECT_EQ(Output_Of(line), path) << line;
  }
  EXPECT_EQ(Shell_Quote("it's"), "'it'\\''s'");
  EXPECT_FALSE(fs::exists(root / "hit")) << "nothing in a name ran";
  fs::current_path(start);
  fs::remove_all(root);
}

}  // namespace
}  // namespace nk::shell
