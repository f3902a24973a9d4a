#include "quote.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

// What the command interpreter makes of `word`: the text it echoes back.
std::string Through_Shell(const std::string& word) {
  const std::string command = "/usr/bin/sh -c 'printf %s \"$1\"' sh " + word;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    out.append(buffer, n);
  }
  ::pclose(pipe);
  return out;
}

TEST(Quote, PlainPathsStayAsTheyAreSpecialTextsReachTheShellUnchanged) {
  EXPECT_EQ(nk::shell::Quote_If_Special("/usr/local/bin/g++-12"), "/usr/local/bin/g++-12");
  for (const std::string text :
       {"/home/a b/bin", "it's", "$HOME", "a\"b", "`id`", "x;y", "", "'", "a\\b", "*", "~"}) {
    EXPECT_EQ(Through_Shell(nk::shell::Quote_If_Special(text)), text) << text;
    EXPECT_EQ(Through_Shell(nk::shell::Shell_Quote(text)), text) << text;
  }
}

}  // namespace
