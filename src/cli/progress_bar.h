// A one-line progress bar on stderr, redrawn only when the percentage moves.
#pragma once

#include <cstdint>

namespace zanthrel::cli {

class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(uint64_t done, uint64_t total);

 private:
  bool enabled_;
  int shown_ = -1;
};

}  // namespace zanthrel::cli
