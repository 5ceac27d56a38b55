#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/host.h"

namespace zanthrel::cli {

void ProgressBar::Update(uint64_t done, uint64_t total) {
  if (!enabled_ || total == 0) return;
  const int percent = int(std::min<uint64_t>(100, done * 100 / total));
  if (percent == shown_) return;
  shown_ = percent;
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  std::string bar = "\r[" + std::string(size_t(filled), '#') + std::string(size_t(kWidth - filled), ' ') +
                    "] " + std::to_string(percent) + "%";
  std::fputs(bar.c_str(), stderr);
  std::fflush(stderr);
}

ProgressBar::~ProgressBar() {
  if (enabled_ && shown_ >= 0) std::fputs("\n", stderr);
}

}  // namespace zanthrel::cli
