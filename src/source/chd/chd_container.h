// The first data track of a CHD (version 5, CD), or its whole disc: its
// header, metadata and hunk map read on open, its hunks decoded as they are
// read, and ahead of them on every core while they are read in order.
#pragma once

#include <cstdint>
#include <memory>

#include "source/data_track.h"
#include "source/disc_image.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// A failure says what in the file keeps it from being read.
Result<std::unique_ptr<DataTrack>> OpenChdTrack(HostFile file, uint64_t fileSize);
// The whole disc: every track with its stored pregap; a hunk that cannot be
// decoded is a failure of the read that needs it, naming the hunk.
Result<std::unique_ptr<DiscImage>> OpenChdDisc(HostFile file, uint64_t fileSize);

}  // namespace zanthrel
