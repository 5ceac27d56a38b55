#include "mount/node_table.h"

#include <gtest/gtest.h>

namespace zanthrel {
namespace {

DiscNode File(uint64_t size) {
  DiscNode node;
  node.size = size;
  return node;
}

// The kernel's lookup counts decide how long a number lives: a path keeps its
// number over many answers, is dropped only when every one has been forgotten,
// and a number once dropped never names another path, so a forget that comes
// late cannot drop the node that took the path since.
TEST(NodeTableTest, ANumberLivesAsLongAsTheKernelHoldsIt) {
  DiscNode root;
  root.folder = true;
  NodeTable table(root);
  ASSERT_NE(table.Find(NodeTable::kRoot), nullptr);
  EXPECT_EQ(table.Find(NodeTable::kRoot)->path, "/");

  const uint64_t a = table.Tell("/a", File(5));
  EXPECT_NE(a, NodeTable::kRoot);
  EXPECT_EQ(table.Tell("/a", File(5)), a);
  EXPECT_EQ(table.Tell("/a", File(5)), a);
  const uint64_t b = table.Tell("/dir/b", File(7));
  EXPECT_NE(b, a);
  EXPECT_EQ(table.NumberOf("/dir/b"), b);
  EXPECT_EQ(table.NumberOf("/nowhere"), 0u);

  table.Forget(a, 2);
  ASSERT_NE(table.Find(a), nullptr);
  EXPECT_EQ(table.Find(a)->node.size, 5u);
  table.Forget(a, 1);
  EXPECT_EQ(table.Find(a), nullptr);
  EXPECT_EQ(table.NumberOf("/a"), 0u);

  const uint64_t again = table.Tell("/a", File(5));
  EXPECT_NE(again, a);
  table.Forget(a, 1);  // late, for the number dropped before
  EXPECT_NE(table.Find(again), nullptr);

  // More forgotten than told, numbers never given, and the root: no harm.
  table.Forget(b, 10);
  EXPECT_EQ(table.Find(b), nullptr);
  table.Forget(12345, 1);
  table.Forget(NodeTable::kRoot, 100);
  EXPECT_NE(table.Find(NodeTable::kRoot), nullptr);
  EXPECT_EQ(table.Size(), 2u);
}

TEST(NodeTableTest, ChildPathsJoinUnderTheRootAndBelow) {
  EXPECT_EQ(ChildPath("/", "a"), "/a");
  EXPECT_EQ(ChildPath("/a", "b"), "/a/b");
}

}  // namespace
}  // namespace zanthrel
