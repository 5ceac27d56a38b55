// The text of a one-line progress bar: the bar, the share done, the bytes done
// of all, the rate and the time left, cut down to fit a terminal's width.
#pragma once

#include <cstdint>
#include <string>

namespace zanthrel {

struct ProgressFigures {
  uint64_t done = 0;   // bytes
  uint64_t total = 0;  // bytes; more than zero
  double seconds = 0;  // since the work began
};

// At most `columns` - 1 characters, so that no terminal wraps the line: the
// time left goes first as the width shrinks, then the rate, then the bytes,
// then the bar; an empty text when not even the share fits.
std::string ProgressLine(const ProgressFigures& figures, int columns);

// "512 B", "1.5 KiB", "135.2 MiB", "4.0 GiB"
std::string ByteSizeText(uint64_t bytes);
// "0:02", "12:05", "1:02:03"
std::string DurationText(uint64_t seconds);

}  // namespace zanthrel
