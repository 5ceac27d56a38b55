#include "support/progress_line.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace zanthrel {

namespace {

// The bar is never drawn narrower than this, nor wider than the limit.
constexpr int kNarrowestBar = 10;
constexpr int kWidestBar = 40;
// Before this much time the rate says more of the start than of the run.
constexpr double kFirstRateSeconds = 0.5;

std::string Bar(uint64_t done, uint64_t total, int width) {
  const int filled = int(std::min<uint64_t>(done, total) * uint64_t(width) / total);
  return "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), ' ') + "]";
}

std::string PercentText(uint64_t done, uint64_t total) {
  char text[8];
  std::snprintf(text, sizeof text, "%3d%%", int(std::min<uint64_t>(done, total) * 100 / total));
  return text;
}

}  // namespace

std::string ByteSizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = double(bytes) / 1024;
  size_t unit = 0;
  // 1023.96 MiB would print as "1024.0 MiB": the next unit reads better.
  while (value >= 1023.95 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string DurationText(uint64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                  unsigned(seconds / 60 % 60), unsigned(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%u:%02u", unsigned(seconds / 60), unsigned(seconds % 60));
  }
  return text;
}

std::string ProgressLine(const ProgressFigures& figures, int columns) {
  if (figures.total == 0) return "";
  const int room = columns - 1;
  const uint64_t done = std::min(figures.done, figures.total);
  const std::string percent = PercentText(done, figures.total);
  if (room < int(percent.size())) return "";
  const std::string bytes = "  " + ByteSizeText(done) + " / " + ByteSizeText(figures.total);
  std::string rate, left;
  if (figures.seconds >= kFirstRateSeconds && done > 0) {
    const double perSecond = double(done) / figures.seconds;
    rate = "  " + ByteSizeText(uint64_t(perSecond)) + "/s";
    left = "  " + DurationText(uint64_t(double(figures.total - done) / perSecond + 0.5)) + " left";
  }
  // The fullest text that leaves the bar its narrowest width.
  const std::vector<std::string> tails = {bytes + rate + left, bytes + rate, bytes, ""};
  for (const std::string& tail : tails) {
    const int text = int(percent.size() + tail.size());
    const int bar = std::min(kWidestBar, room - text - 3);
    if (bar >= kNarrowestBar) return Bar(done, figures.total, bar) + " " + percent + tail;
  }
  const int bar = room - int(percent.size()) - 3;
  return bar > 0 ? Bar(done, figures.total, bar) + " " + percent : percent;
}

}  // namespace zanthrel
