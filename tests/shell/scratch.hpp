// A fresh directory tree entered per test; cwd and HOME restored, the tree removed even if locked.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace nk::shell {

namespace fs = std::filesystem;

class Scratch_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/nkscratchXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = fs::canonical(pattern).string();
    // The tests' words hold "_" so that they never occur in the directory's own path.
    ASSERT_EQ(root_.find('_'), std::string::npos) << root_;
    fs::current_path(root_);
  }
  void TearDown() override {
    home_ ? ::setenv("HOME", home_->c_str(), 1) : ::unsetenv("HOME");
    fs::current_path(start_);
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  // Creates the file `path` (relative to the tree) and its directories.
  void File(const std::string& path) {
    fs::create_directories(fs::path(root_ + "/" + path).parent_path());
    std::ofstream(root_ + "/" + path) << "x";
  }
  void Enter(const std::string& path) { fs::current_path(root_ + "/" + path); }

  const fs::path start_ = fs::current_path();
  const std::optional<std::string> home_ =
      std::getenv("HOME") ? std::optional<std::string>(std::getenv("HOME")) : std::nullopt;
  std::string root_;
};

}  // namespace nk::shell
