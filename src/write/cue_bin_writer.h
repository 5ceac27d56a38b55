// A disc written as a cue sheet and one BIN per track, laid out as Redump
// keeps sets: "NAME (Track 1).bin", ... beside "NAME.cue", data tracks as
// MODE1/2352 or MODE2/2352 sectors, audio as 16-bit little-endian samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/disc_image.h"
#include "support/host.h"
#include "support/progress.h"
#include "support/result.h"

namespace zanthrel {

struct WrittenFiles {
  std::vector<std::string> paths;  // the cue sheet first, then each track's file
  uint64_t bytes = 0;              // of every file
};

// The paths WriteCueBin writes for `disc` at `cuePath`: the cue sheet first.
std::vector<std::string> CueBinPaths(const DiscImage& disc, const std::string& cuePath);
// The same for a disc of `tracks`, before it is opened.
std::vector<std::string> CueBinPaths(const std::vector<DiscTrack>& tracks, const std::string& cuePath);

// Writes every file through a temporary file beside it, all put in place
// only when every track has been read and written.
Result<WrittenFiles> WriteCueBin(DiscImage& disc, const std::string& cuePath, Host& host = SystemHost(),
                                 Progress progress = {});

}  // namespace zanthrel
