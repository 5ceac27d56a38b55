// A disc's frames as a CD CHD lays them out: each track's frames padded to a
// multiple of four, 2352 bytes of sector and 96 of subcode (zero) a frame,
// audio samples big-endian; read a hunk at a time, in any order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/disc_image.h"
#include "support/result.h"

namespace zanthrel {

class ChdHunkSource {
 public:
  ChdHunkSource(DiscImage& disc, uint32_t framesPerHunk);

  uint64_t LogicalBytes() const;
  uint64_t HunkCount() const;
  // The CHT2 entry of each track, as chdman writes it for the same cue sheet.
  std::vector<std::string> TrackEntries() const;

  // Hunk `number` into `hunk` (framesPerHunk × 2448 bytes), zeros past the
  // end of the disc. `audio` says whether any of its frames is audio.
  Status Read(uint64_t number, uint8_t* hunk, bool& audio);

 private:
  struct Span {
    uint64_t start;   // the track's first frame in the CHD
    uint64_t frames;  // its frames, padding left out
    bool audio;
  };

  DiscImage& disc_;
  uint32_t framesPerHunk_;
  std::vector<Span> spans_;
  uint64_t paddedFrames_ = 0;
  std::vector<uint8_t> frames_;  // the disc's frames of one read, 2352 bytes each
};

}  // namespace zanthrel
