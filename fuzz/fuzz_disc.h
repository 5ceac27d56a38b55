// Reads a disc opened from a fuzz input: every track's first frames, then a
// stride through the rest, each read delivering or failing within bounds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "source/disc_image.h"

namespace zanthrel::fuzz {

inline void ReadDisc(DiscImage& disc) {
  std::vector<uint8_t> frames(4 * 2352);
  for (size_t track = 0; track < disc.Tracks().size(); ++track) {
    const uint64_t count = disc.Tracks()[track].frames;
    const uint64_t step = std::max<uint64_t>(1, count / 64);
    for (uint64_t n = 0; n < count; n += n < 32 ? 1 : step) {
      if (!disc.ReadFrames(track, n, 4, frames.data())) break;
    }
  }
}

}  // namespace zanthrel::fuzz
