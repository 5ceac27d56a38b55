// A one-line progress bar on stderr that fits the terminal, redrawn at most
// ten times a second, and cleared before anything else is printed: the
// summary after it, or a line that -v names an entry with.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

#include "support/progress.h"

namespace zanthrel::cli {

class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  ~ProgressBar() { End(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Bytes done of all; a new total starts a new stretch of work (the label
  // search of a gzip image, then the run), whose rate is timed from there.
  void Update(uint64_t done, uint64_t total);
  // The bar's line cleared, so that the next text starts a clean line.
  void End();
  // `line` printed on `out` where the bar stood; the bar comes back with
  // the next update.
  void PrintAbove(std::ostream& out, const std::string& line);
  // A callback that updates this bar; an empty one when the bar is off, so
  // that a run spends nothing on it.
  Progress Callback();

 private:
  using Clock = std::chrono::steady_clock;
  void Clear();

  const bool enabled_;
  std::mutex mutex_;
  uint64_t total_ = 0;
  Clock::time_point started_;
  Clock::time_point drawn_;
  size_t shownLength_ = 0;  // of the line on the terminal now; 0 when none is
};

}  // namespace zanthrel::cli
