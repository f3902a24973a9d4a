// The bounded history set and the entry tables.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "shell/nk-shell.hpp"

namespace nk::shell {
namespace {

Wide_String Line(std::size_t n) {
  return Widen("line " + std::to_string(n));
}

TEST(Containers, SetAppendsUpToItsCapacity) {
  Wide_String_Set set(2048);
  EXPECT_EQ(set.Size(), 2048U);
  EXPECT_EQ(set.Count(), 0U);
  EXPECT_EQ(set.Append(Line(1)), 1U);
  EXPECT_EQ(set.Count(), 1U);
  for (std::size_t n = 2; n <= 2048; ++n) ASSERT_EQ(set.Append(Line(n)), n);
  EXPECT_EQ(set.Item(1), Line(1));
  EXPECT_EQ(set.Item(2048), Line(2048));
}

TEST(Containers, FullSetDropsItsOldestLine) {
  Wide_String_Set set(2048);
  for (std::size_t n = 1; n <= 2048; ++n) set.Append(Line(n));
  EXPECT_EQ(set.Append(Line(2049)), 2048U);
  EXPECT_EQ(set.Count(), 2048U);
  for (std::size_t i = 1; i <= 2048; ++i) ASSERT_EQ(set.Item(i), Line(i + 1)) << i;
  // Many turns around keep the order too.
  for (std::size_t n = 2050; n <= 7000; ++n) ASSERT_EQ(set.Append(Line(n)), 2048U);
  for (std::size_t i = 1; i <= 2048; ++i) ASSERT_EQ(set.Item(i), Line(7000 - 2048 + i)) << i;
}

TEST(Containers, SmallestSetKeepsTheLastLine) {
  Wide_String_Set set(1);
  EXPECT_EQ(set.Append(U"a"), 1U);
  EXPECT_EQ(set.Append(U"b"), 1U);
  EXPECT_EQ(set.Item(1), U"b");
}

TEST(Containers, ClearEmptiesAndAppendRestartsAtOne) {
  Wide_String_Set set(3);
  for (std::size_t n = 1; n <= 5; ++n) set.Append(Line(n));
  set.Clear();
  EXPECT_EQ(set.Count(), 0U);
  EXPECT_THROW(set.Item(1), std::out_of_range);
  EXPECT_EQ(set.Append(U"fresh"), 1U);
  EXPECT_EQ(set.Item(1), U"fresh");
  EXPECT_EQ(set.Size(), 3U);
}

TEST(Containers, SetStoresCopies) {
  Wide_String_Set set(4);
  Wide_String text = U"original";
  set.Append(text);
  text[0] = U'X';
  text.clear();
  EXPECT_EQ(set.Item(1), U"original");
  Wide_String_Set copy = set;
  copy.Append(U"only in copy");
  copy.Clear();
  EXPECT_EQ(set.Count(), 1U);
  EXPECT_EQ(set.Item(1), U"original");
}

TEST(Containers, BadCapacityAndIndexAreRefused) {
  EXPECT_THROW(Wide_String_Set(0), std::invalid_argument);
  EXPECT_THROW(Wide_String_Set(132073), std::invalid_argument);
  EXPECT_NO_THROW(Wide_String_Set(132072));
  Wide_String_Set set(2);
  set.Append(U"x");
  EXPECT_THROW(set.Item(0), std::out_of_range);
  EXPECT_THROW(set.Item(2), std::out_of_range);
}

TEST(Containers, TableHoldsAtMostItsCapacity) {
  Attribut_Table table(2048);
  for (int i = 0; i < 2048; ++i) ASSERT_TRUE(table.Add(Create("n" + std::to_string(i), "1")));
  EXPECT_FALSE(table.Add(Create("extra", "1")));
  EXPECT_EQ(table.Count(), 2048U);
  EXPECT_EQ(table.Entries().back().Name, "n2047");
  Attribut_Table none(0);
  EXPECT_FALSE(none.Add(Create("a", "1")));
  EXPECT_EQ(none.Count(), 0U);
}

TEST(Containers, TableRemovesTheFirstExactMatch) {
  Attribut_Table table(8);
  for (const char* name : {"a", "x", "b", "x", "X"}) table.Add(Create(name, name));
  EXPECT_TRUE(table.Remove_First("x"));
  ASSERT_EQ(table.Count(), 4U);
  const char* expected[] = {"a", "b", "x", "X"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(table.Entries()[i].Name, expected[i]);
  EXPECT_FALSE(table.Remove_First("missing"));
  EXPECT_FALSE(table.Remove_First("x "));
  EXPECT_TRUE(table.Remove_First("x"));
  EXPECT_TRUE(table.Remove_First("X"));
  EXPECT_FALSE(table.Remove_First("X"));
  EXPECT_EQ(table.Count(), 2U);
}

TEST(Containers, TableCopiesAreIndependent) {
  Attribut_Table table(4);
  table.Add(Create("s", "text"));
  Attribut_Table copy = table;
  copy.Remove_First("s");
  copy.Add(Create("t", "5"));
  ASSERT_EQ(table.Count(), 1U);
  EXPECT_EQ(table.Entries()[0].Name, "s");
  EXPECT_EQ(Image(table.Entries()[0]), "text");
  EXPECT_EQ(copy.Entries()[0].Name, "t");
}

}  // namespace
}  // namespace nk::shell
