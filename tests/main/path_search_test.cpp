#include "run/path_search.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(PathSearch, FindsTheFirstExecutableRegularFileAndTakesSlashNamesAsGiven) {
  std::string pattern = (fs::temp_directory_path() / "nk-path-XXXXXX").string();
  const std::string root = ::mkdtemp(pattern.data());
  const fs::path old_cwd = fs::current_path();
  const std::pair<const char*, bool> files[] = {{"a/only_a", true},   {"a/shared", false},
                                                {"b/shared", true},   {"c/shared", true},
                                                {"here/local", true}, {"c/dir", true}};
  for (const auto& [name, executable] : files) {
    fs::create_directories(fs::path(root + "/" + name).parent_path());
    std::ofstream(root + "/" + name) << "#!/bin/sh\n";
    fs::permissions(root + "/" + name, executable ? fs::perms::owner_all : fs::perms::owner_read);
  }
  fs::create_directories(root + "/a/dir");  // directories named like programs
  fs::create_directories(root + "/b/dir");
  fs::current_path(root + "/here");

  const std::string a = root + "/a";
  const std::string b = root + "/b";
  const std::string c = root + "/c";
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
      {"a/only_a", root, std::nullopt},
  };
  for (const auto& [name, path, expected] : cases) {
    EXPECT_EQ(nk::main::Search_Path(name, path), expected) << name << " on " << path;
  }
  fs::current_path(old_cwd);
  fs::remove_all(root);
}

}  // namespace
