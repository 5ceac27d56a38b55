// The one guard of every walk of a tree: a copy on the path is refused, levels
// of several copies come off whole, the depth has its limit, and a copy
// walked to its end is walked again only so often.
#include "volume/walk.h"

#include <gtest/gtest.h>

#include <vector>

namespace zanthrel {
namespace {

TEST(WalkPathTest, ACopyOnThePathIsRefusedUntilItsLevelIsLeft) {
  WalkPath path;
  ASSERT_TRUE(path.Enter(5));
  EXPECT_FALSE(path.Enter(5));
  ASSERT_TRUE(path.Enter(6));
  EXPECT_TRUE(path.OnPath(5));
  path.Leave(false);
  EXPECT_FALSE(path.OnPath(6));
  path.Leave(false);
  EXPECT_TRUE(path.Enter(5));
}

TEST(WalkPathTest, ALevelOfSeveralCopiesComesOffWholeAndLeavesTheLevelsAbove) {
  WalkPath path;
  path.EnterLevel(std::vector<uint32_t>{5});
  // A folder whose copies repeat each other and a copy of the level above.
  path.EnterLevel(std::vector<uint32_t>{7, 7, 5});
  EXPECT_TRUE(path.OnPath(7));
  EXPECT_FALSE(path.Enter(7));
  path.LeaveLevel();
  EXPECT_FALSE(path.OnPath(7));
  EXPECT_TRUE(path.OnPath(5));  // still the level above's
  path.LeaveLevel();
  EXPECT_FALSE(path.OnPath(5));
}

TEST(WalkPathTest, NoWalkGoesDeeperThanTheLimit) {
  WalkPath path;
  for (uint32_t level = 0; level < kMaxWalkDepth; ++level) {
    ASSERT_FALSE(path.Full());
    ASSERT_TRUE(path.Enter(level));
  }
  EXPECT_TRUE(path.Full());
  EXPECT_FALSE(path.Enter(kMaxWalkDepth));
  path.Leave(false);
  EXPECT_TRUE(path.Enter(kMaxWalkDepth));
}

TEST(WalkPathTest, AFinishedCopyIsWalkedAgainOnlySoOften) {
  WalkPath path;
  ASSERT_TRUE(path.Enter(9));
  path.Leave(true);
  // A copy that failed may be tried as often as it is met.
  for (int i = 0; i < 5000; ++i) {
    ASSERT_TRUE(path.Enter(3));
    path.Leave(false);
  }
  int repeats = 0;
  while (repeats < 5000 && path.Enter(9)) {
    path.Leave(true);
    ++repeats;
  }
  // Enough for every root copy and for folders shared in earnest, never without end.
  EXPECT_GE(repeats, 8);
  EXPECT_LT(repeats, 5000);
}

}  // namespace
}  // namespace zanthrel
