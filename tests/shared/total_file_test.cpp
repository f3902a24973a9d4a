// The total file: bytes, missing and corrupt files, ranges, many threads. Pinning: tests/e2e.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "nk-shared.hpp"

namespace nk::shared {
namespace {

namespace fs = std::filesystem;

std::string Bytes_Of(std::int32_t count) {
  const auto bits = static_cast<std::uint32_t>(count);
  return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
          static_cast<char>(bits >> 24)};
}

std::optional<std::string> Content(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs each test in two fresh directories, starting in the first, unpinned.
class TotalFile : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto* dir : {&first_, &second_}) {
      auto pattern = (fs::temp_directory_path() / "nk-total-XXXXXX").string();
      ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
      *dir = pattern;
    }
    fs::current_path(first_);
    Unpin_Total_Directory();
  }
  void TearDown() override {
    Unpin_Total_Directory();
    fs::current_path(start_);
    for (const auto& dir : {first_, second_}) fs::remove_all(dir);
  }
  fs::path File(const fs::path& dir) const { return dir / Total_File_Name; }

  const fs::path start_ = fs::current_path();
  fs::path first_, second_;
};

TEST_F(TotalFile, MissingFileReadsTheLastValueAndCreatesNothing) {
  Write_Total_Sum(4321);
  fs::current_path(second_);
  EXPECT_EQ(Read_Total_Sum(), 4321);
  EXPECT_FALSE(fs::exists(File(second_)));
  EXPECT_EQ(Add_To_Total_Sum(-21), 4300);
  EXPECT_EQ(Content(File(second_)), Bytes_Of(4300));
  EXPECT_EQ(Content(File(first_)), Bytes_Of(4321));
}

// Counts beyond the range are corrupt too. Short files: tests/e2e/oneshot_test.cpp.
TEST_F(TotalFile, CorruptFilesAreLeftAloneUntilSet) {
  for (const std::string& bytes :
       {Bytes_Of(100000000), Bytes_Of(-100000000), Bytes_Of(0x7fffffff)}) {
    std::ofstream(File(first_), std::ios::binary) << bytes;
    EXPECT_THROW(Read_Total_Sum(), File_Error);
    EXPECT_THROW(Add_To_Total_Sum(-1), File_Error);
    EXPECT_EQ(Content(File(first_)), bytes);
    Write_Total_Sum(77);  // setting does not read, so it repairs the file
    EXPECT_EQ(Content(File(first_)), Bytes_Of(77));
  }
}

// Sums just past either end: tests/e2e/oneshot_test.cpp. Here, sums that overflow 32 bits.
TEST_F(TotalFile, RangeErrorsWriteNothing) {
  EXPECT_THROW(Write_Total_Sum(Total_Last + 1), Range_Error);
  EXPECT_THROW(Write_Total_Sum(Total_First - 1), Range_Error);
  EXPECT_FALSE(fs::exists(File(first_)));
  Write_Total_Sum(Total_Last);
  EXPECT_THROW(Add_To_Total_Sum(std::numeric_limits<Hundredths>::max()), Range_Error);
  EXPECT_EQ(Content(File(first_)), Bytes_Of(Total_Last));
  Write_Total_Sum(Total_First);
  EXPECT_THROW(Add_To_Total_Sum(std::numeric_limits<Hundredths>::min()), Range_Error);
  EXPECT_EQ(Content(File(first_)), Bytes_Of(Total_First));
}

// Where anyone may write, another user's link could aim our writes anywhere: refused.
// Our own links, and links in a folder closed to others, are followed.
TEST_F(TotalFile, AnotherUsersLinkInAFolderOpenToAllIsNotFollowed) {
  const auto victim = second_ / "victim";
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, File(first_));
  fs::permissions(first_, fs::perms::all);
  Write_Total_Sum(5);
  EXPECT_EQ(Content(victim), Bytes_Of(5));
  if (::lchown(File(first_).c_str(), 65534, 65534) != 0) GTEST_SKIP() << "only root gives links";
  EXPECT_THROW(Read_Total_Sum(), File_Error);
  EXPECT_THROW(Write_Total_Sum(7), File_Error);
  EXPECT_THROW(Add_To_Total_Sum(1), File_Error);
  EXPECT_EQ(Content(victim), Bytes_Of(5));
  fs::permissions(first_, fs::perms::others_write, fs::perm_options::remove);
  EXPECT_EQ(Add_To_Total_Sum(1), 6);
  EXPECT_EQ(Content(victim), Bytes_Of(6));
}

// Each round, the first adds race to create the file while a reader looks on: none may
// meet the empty file between its creation and its first write.
TEST_F(TotalFile, ConcurrentUpdatesLoseNothingAndNeverShowAShortFile) {
  constexpr int writers = 4, adds = 20;
  for (int round = 0; round < 200; ++round) {
    Write_Total_Sum(0);  // the value a missing file starts from
    fs::remove(File(first_));
    std::barrier start(writers + 1);
    std::atomic<int> done{0}, failures{0};
    std::vector<std::thread> threads;
    for (int k = 0; k <= writers; ++k) {
      threads.emplace_back([&, k] {
        start.arrive_and_wait();
        try {
          if (k == writers)
            while (done.load() < writers) Read_Total_Sum();
          else
            for (int n = 0; n < adds; ++n) Add_To_Total_Sum(1);
        } catch (const File_Error&) {
          ++failures;
        }
        ++done;
      });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(failures.load(), 0) << "round " << round;
    ASSERT_EQ(Content(File(first_)), Bytes_Of(writers * adds)) << "round " << round;
  }
}

}  // namespace
}  // namespace nk::shared
