// The bounded history set and the entry tables.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "nk-shell.hpp"

namespace nk::shell {
namespace {

Wide_String Line(std::size_t n) {
  return text::Decode_Utf8("line " + std::to_string(n));
}

TEST(Containers, FullSetDropsItsOldestLine) {
  Wide_String_Set set(2048);
  for (std::size_t n = 1; n <= 2048; ++n) ASSERT_EQ(set.Append(Line(n)), n);
  EXPECT_EQ(set.Append(Line(2049)), 2048U);
  for (std::size_t i = 1; i <= 2048; ++i) ASSERT_EQ(set.Item(i), Line(i + 1)) << i;
  EXPECT_THROW(set.Item(0), std::out_of_range);
  Wide_String_Set one(1);  // the smallest set keeps the last line
  EXPECT_EQ(one.Append(U"a"), 1U);
  EXPECT_EQ(one.Append(U"b"), 1U);
  EXPECT_EQ(one.Item(1), U"b");
  EXPECT_THROW(Wide_String_Set(0), std::invalid_argument);
  EXPECT_THROW(Wide_String_Set(132073), std::invalid_argument);
  EXPECT_NO_THROW(Wide_String_Set(132072));
}

TEST(Containers, TableHoldsAtMostItsCapacityAndRemovesTheFirstExactMatch) {
  Attribut_Table table(5);
  for (const char* name : {"a", "x", "b", "x", "X"}) ASSERT_TRUE(table.Add(Create(name, name)));
  EXPECT_FALSE(table.Add(Create("extra", "1")));
  EXPECT_FALSE(table.Remove_First("x "));
  EXPECT_TRUE(table.Remove_First("x"));
  ASSERT_EQ(table.Count(), 4U);
  const char* expected[] = {"a", "b", "x", "X"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(table.Entries()[i].Name, expected[i]);
  EXPECT_TRUE(table.Remove_First("x"));
  EXPECT_TRUE(table.Remove_First("X"));
  EXPECT_FALSE(table.Remove_First("X"));
  EXPECT_EQ(table.Count(), 2U);
  Attribut_Table none(0);
  EXPECT_FALSE(none.Add(Create("a", "1")));
  EXPECT_EQ(none.Count(), 0U);
}

}  // namespace
}  // namespace nk::shell
