#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>

#include "support/host.h"
#include "support/progress_line.h"

namespace zanthrel::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// What a terminal that tells no width is taken to have.
constexpr int kDefaultColumns = 80;

}  // namespace

void ProgressBar::Update(uint64_t done, uint64_t total) {
  if (!enabled_ || total == 0) return;
  const std::lock_guard lock(mutex_);
  const Clock::time_point now = Clock::now();
  const bool newStretch = total != total_;
  if (newStretch) {
    total_ = total;
    started_ = now;
  } else if (now - drawn_ < kRedrawInterval && done < total) {
    return;
  }
  drawn_ = now;
  // The width is read at each redraw, so that a resized terminal is followed.
  const int told = StandardErrorColumns();
  const int columns = told > 0 ? told : kDefaultColumns;
  const std::string line =
      ProgressLine({done, total, std::chrono::duration<double>(now - started_).count()}, columns);
  // Spaces cover what a longer line drawn before left behind, short of the
  // last column, where a terminal would wrap.
  const size_t reach = std::min(shownLength_, size_t(columns - 1));
  const std::string cover(reach > line.size() ? reach - line.size() : 0, ' ');
  std::fputs(("\r" + line + cover).c_str(), stderr);
  std::fflush(stderr);
  shownLength_ = line.size() + cover.size();
}

void ProgressBar::Clear() {
  if (shownLength_ == 0) return;
  std::fputs(("\r" + std::string(shownLength_, ' ') + "\r").c_str(), stderr);
  std::fflush(stderr);
  shownLength_ = 0;
}

void ProgressBar::End() {
  const std::lock_guard lock(mutex_);
  Clear();
}

void ProgressBar::PrintAbove(std::ostream& out, const std::string& line) {
  const std::lock_guard lock(mutex_);
  Clear();
  out << line << std::endl;
}

Progress ProgressBar::Callback() {
  if (!enabled_) return {};
  return [this](uint64_t done, uint64_t total) { Update(done, total); };
}

}  // namespace zanthrel::cli
