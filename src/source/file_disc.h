// A disc whose tracks are kept as fixed-size records in host files: a raw
// .bin, the files of a cue sheet, an NRG image. Each record is made a whole
// 2352-byte frame as it is read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "source/disc_image.h"
#include "support/host.h"

namespace zanthrel {

// Where a track's records lie: from byte `start` of `file` on, the first
// frame of its stored pregap first. A record of 2048 bytes is the user data
// of a Mode 1 sector, one of 2336 a Mode 2 sector without its sync and
// header, one of 2448 a frame with its subcode after it.
struct TrackRecords {
  std::shared_ptr<const HostFile> file;
  uint64_t start = 0;
  uint32_t recordSize = 2352;
  // Audio kept as big-endian samples, which a frame holds little-endian.
  bool swapAudio = false;
};

struct StoredTrack {
  DiscTrack track;
  TrackRecords records;
};

std::unique_ptr<DiscImage> MakeFileDisc(std::vector<StoredTrack> tracks, size_t volumeTrack,
                                        std::string description);

}  // namespace zanthrel
