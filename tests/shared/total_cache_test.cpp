// The cached read of the total: every change shows at the next read, whoever made it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "nk-shared-cache.hpp"
#include "nk-shared.hpp"

namespace nk::shared {
namespace {

namespace fs = std::filesystem;

TEST(TotalCache, EveryChangeShowsAtTheNextRead) {
  const fs::path start = fs::current_path();
  auto pattern = (fs::temp_directory_path() / "nk-cache-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  fs::current_path(pattern);
  ASSERT_TRUE(Pin_Total_Directory());
  Total_Cache cache;
  const auto replace = [](const std::string& bytes) {  // another process's new file
    std::ofstream("next", std::ios::binary) << bytes;
    fs::rename("next", Total_File_Name);
  };
  EXPECT_EQ(cache.Read(), Read_Total_Sum()) << "no file";
  Write_Total_Sum(1234);
  EXPECT_EQ(cache.Read(), 1234);
  EXPECT_EQ(cache.Read(), 1234);
  Write_Total_Sum(4321);  // same size, likely the same time stamp
  EXPECT_EQ(cache.Read(), 4321);
  EXPECT_EQ(Add_To_Total_Sum(-21), 4300);
  EXPECT_EQ(cache.Read(), 4300);
  replace(std::string("\x05\x00\x00\x00", 4));
  EXPECT_EQ(cache.Read(), 5);
  replace("ab");
  EXPECT_THROW(cache.Read(), File_Error);
  EXPECT_THROW(cache.Read(), File_Error) << "a corrupt file is not kept";
  Write_Total_Sum(7);
  EXPECT_EQ(cache.Read(), 7);
  fs::remove(Total_File_Name);
  EXPECT_EQ(cache.Read(), 7) << "a missing file reads as the last value seen";
  Unpin_Total_Directory();
  fs::current_path(start);
  fs::remove_all(pattern);
}

}  // namespace
}  // namespace nk::shared
