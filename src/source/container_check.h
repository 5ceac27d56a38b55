// A check of an image file's own records, beyond the sectors the volume
// uses: a CHD's hunks and SHA-1s, every track; the EDC and ECC of every data
// sector of a raw image or of a cue sheet's data tracks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "source/chd/chd_check.h"
#include "source/image_source.h"
#include "source/sector_check.h"
#include "support/host.h"

namespace zanthrel {

// The sectors of one data track that fail their check, numbered from the
// track's first sector (INDEX 01).
struct TrackSectors {
  uint32_t track = 1;
  // The track that the image source reads the volume from, whose sectors
  // are numbered as the source's findings number them.
  bool holdsVolume = false;
  SectorRuns corrected;
  SectorRuns damaged;
};

struct ContainerCheck {
  // A CHD whose hunks were checked.
  std::optional<ChdCheck> chd;
  // Raw sectors checked, in these tracks.
  uint64_t sectors = 0;
  std::vector<TrackSectors> tracks;
  // The records could not be walked to their end: why, for a user.
  std::string failure;

  bool Checked() const { return chd || sectors > 0; }
  bool Damaged() const;
};

// Checks the image file that `source` was opened from, read afresh; nothing
// for a drive, a gzip image, an NRG image or a plain image of 2048-byte sectors.
ContainerCheck CheckContainerOf(const ImageSource& source, Host& host);

}  // namespace zanthrel
