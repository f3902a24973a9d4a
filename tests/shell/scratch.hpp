// A fresh directory tree per test, entered for the test; the working directory it found is
// restored and the tree removed, locked directories included.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace nk::shell {

class Scratch_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/nkscratchXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = std::filesystem::canonical(pattern).string();
    // The tests' words hold "_" so that they never occur in the directory's own path.
    ASSERT_EQ(root_.find('_'), std::string::npos) << root_;
    std::filesystem::current_path(root_);
  }
  void TearDown() override {
    namespace fs = std::filesystem;
    fs::current_path(start_);
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  // Creates the file `path` (relative to the tree) and its directories.
  void File(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(root_ + "/" + path).parent_path());
    std::ofstream(root_ + "/" + path) << "x";
  }
  void Enter(const std::string& path) { std::filesystem::current_path(root_ + "/" + path); }

  const std::filesystem::path start_ = std::filesystem::current_path();
  std::string root_;
};

}  // namespace nk::shell
