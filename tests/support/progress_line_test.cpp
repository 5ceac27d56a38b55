#include "support/progress_line.h"

#include <gtest/gtest.h>

#include <string>

namespace zanthrel {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

TEST(ProgressLineTest, AWideTerminalShowsBytesRateAndTimeLeft) {
  // 135.2 MiB of 300 MiB in 2.2 s: 61.5 MiB/s, 164.8 MiB to go in 2.7 s.
  const std::string line = ProgressLine({uint64_t(135.2 * kMiB), 300 * kMiB, 2.2}, 120);
  EXPECT_EQ(line, "[##################                      ]  45%  135.2 MiB / 300.0 MiB  61.5 MiB/s  0:03 left");
}

TEST(ProgressLineTest, EveryWidthIsKeptAndTheLeastNeededGoesFirst) {
  const ProgressFigures figures{150 * kMiB, 300 * kMiB, 10};
  std::string previous;
  for (int columns = 120; columns >= 1; --columns) {
    const std::string line = ProgressLine(figures, columns);
    SCOPED_TRACE(columns);
    // One column stays free: a character in the last one makes many terminals wrap.
    EXPECT_LE(int(line.size()), columns - 1);
    EXPECT_LE(line.size(), previous.empty() ? line.size() : previous.size());
    previous = line;
  }
  EXPECT_NE(ProgressLine(figures, 80).find("0:10 left"), std::string::npos);
  EXPECT_EQ(ProgressLine(figures, 60), "[########         ]  50%  150.0 MiB / 300.0 MiB  15.0 MiB/s");
  EXPECT_EQ(ProgressLine(figures, 44), "[######       ]  50%  150.0 MiB / 300.0 MiB");
  EXPECT_EQ(ProgressLine(figures, 30), "[###########           ]  50%");
  EXPECT_EQ(ProgressLine(figures, 10), "[# ]  50%");
  EXPECT_EQ(ProgressLine(figures, 6), " 50%");
  EXPECT_EQ(ProgressLine(figures, 4), "");
}

TEST(ProgressLineTest, RateAndTimeLeftWaitForAMeasureAndDoneNeverPassesTheTotal) {
  // Too early, or nothing done yet: no rate to tell.
  EXPECT_EQ(ProgressLine({10 * kMiB, 100 * kMiB, 0.1}, 120).find("/s"), std::string::npos);
  EXPECT_EQ(ProgressLine({0, 100 * kMiB, 5}, 120).find("left"), std::string::npos);
  // A run that counts past its estimate (entries that claim too much) stays at 100%.
  const std::string over = ProgressLine({200, 100, 1}, 120);
  EXPECT_NE(over.find("100%  100 B / 100 B"), std::string::npos) << over;
  EXPECT_NE(over.find("0:00 left"), std::string::npos) << over;
  // No total, no bar.
  EXPECT_EQ(ProgressLine({5, 0, 1}, 120), "");
}

TEST(ProgressLineTest, SizesAndDurationsReadAsPeopleWriteThem) {
  EXPECT_EQ(ByteSizeText(0), "0 B");
  EXPECT_EQ(ByteSizeText(1023), "1023 B");
  EXPECT_EQ(ByteSizeText(1536), "1.5 KiB");
  EXPECT_EQ(ByteSizeText(1024 * kMiB - 1), "1.0 GiB");
  EXPECT_EQ(ByteSizeText(4 * 1024 * kMiB), "4.0 GiB");
  EXPECT_EQ(DurationText(0), "0:00");
  EXPECT_EQ(DurationText(725), "12:05");
  EXPECT_EQ(DurationText(3723), "1:02:03");
}

}  // namespace
}  // namespace zanthrel
