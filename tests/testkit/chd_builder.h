// Builds CD CHD files (version 5) for what chdman does not make: the zstd
// codecs (cdzs, zstd, which chdman 0.251 lacks), every form of hunk copy and
// run in the map, hunks said to be in a parent, and hunks whose CRC is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/files.h"

namespace zanthrel::testkit {

struct ChdTrackData {
  std::string type;     // MODE1, MODE1_RAW, AUDIO, ...
  uint32_t frameBytes;  // bytes of each frame stored: 2048 for MODE1, 2352 for raw and audio
  Bytes frames;         // the frames' stored bytes, one after the other
};

struct ChdOptions {
  std::string codec = "cdzs";  // "cdzs" or "zstd"
  uint32_t framesPerHunk = 8;
  // A hunk equal to an earlier one is written as a copy of it, in the
  // map's shortest form for it.
  bool copies = true;
  std::vector<size_t> storedHunks;    // written as they are
  std::vector<size_t> parentHunks;    // said to be in the parent
  std::vector<size_t> wrongCrcHunks;  // the map gives them a wrong CRC
};

Bytes BuildChd(const std::vector<ChdTrackData>& tracks, const ChdOptions& options);

}  // namespace zanthrel::testkit
