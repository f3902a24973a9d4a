#include "run/path_search.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/scratch.hpp"

namespace {

namespace fs = std::filesystem;

using PathSearch = nk::shell::Scratch_Test;

TEST_F(PathSearch, FindsTheFirstExecutableRegularFileAndTakesSlashNamesAsGiven) {
  const std::pair<const char*, bool> files[] = {{"a/only_a", true},   {"a/shared", false},
                                                {"b/shared", true},   {"c/shared", true},
                                                {"here/local", true}, {"c/dir", true}};
  for (const auto& [name, executable] : files) {
    File(name);
    fs::permissions(name, executable ? fs::perms::owner_all : fs::perms::owner_read);
  }
  for (const char* dir : {"a/dir", "b/dir"}) fs::create_directories(dir);  // named like programs
  Enter("here");

  const std::string a = root_ + "/a", b = root_ + "/b", c = root_ + "/c";
  const std::vector<std::tuple<std::string, std::string, std::optional<std::string>>> cases = {
      {"only_a", a + ":" + b, a + "/only_a"},
      {"shared", a + ":" + b + ":" + c, b + "/shared"},  // not executable in a
      {"shared", c + ":" + b, c + "/shared"},
      {"shared", a + "/:" + c, c + "/shared"},
      {"dir", b + ":" + c, c + "/dir"},
      {"missing", a + ":" + b + ":" + c, std::nullopt},
      {"local", a + "::" + b, "./local"},
      {"local", a + ":", "./local"},
      {"local", ":" + a, "./local"},
      {"local", a, std::nullopt},
      {"", a + "::" + b, std::nullopt},
      {"./local", a, "./local"},
      {a + "/only_a", "", a + "/only_a"},
      {"../a/only_a", a, "../a/only_a"},
      {a + "/shared", a, std::nullopt},
      {a + "/dir", a, std::nullopt},
      {"a/only_a", root_, std::nullopt},
  };
  for (const auto& [name, path, expected] : cases)
    EXPECT_EQ(nk::main::Search_Path(name, path), expected) << name << " on " << path;
}

}  // namespace
