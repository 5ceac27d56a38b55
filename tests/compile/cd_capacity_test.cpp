// The warning for an image that no CD holds, at the edges of the two
// capacities (an image that large is not written in the suite).
#include "compile/cd_capacity.h"

#include <gtest/gtest.h>

namespace zanthrel {
namespace {

TEST(CdCapacityTest, ImagesPastA74Or80MinuteCdAreNamedWithTheLargerCapacityPassed) {
  EXPECT_EQ(CdCapacityWarning("game.iso", 305), std::nullopt);
  EXPECT_EQ(CdCapacityWarning("game.iso", 333000), std::nullopt);
  EXPECT_EQ(CdCapacityWarning("game.iso", 333001),
            "game.iso: 333001 blocks, more than a 74-minute CD holds (333000 blocks)");
  EXPECT_EQ(CdCapacityWarning("game.iso", 360000),
            "game.iso: 360000 blocks, more than a 74-minute CD holds (333000 blocks)");
  EXPECT_EQ(CdCapacityWarning("game.iso", 360001),
            "game.iso: 360001 blocks, more than an 80-minute CD holds (360000 blocks)");
  EXPECT_EQ(CdCapacityWarning("big.iso", 409600),
            "big.iso: 409600 blocks, more than an 80-minute CD holds (360000 blocks)");
}

}  // namespace
}  // namespace zanthrel
