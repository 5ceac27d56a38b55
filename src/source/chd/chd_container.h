// The first data track of a CHD (version 5, CD): its header, metadata and
// hunk map read on open, its hunks decoded as they are read, one at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "source/data_track.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// A failure says what in the file keeps it from being read.
Result<std::unique_ptr<DataTrack>> OpenChdTrack(HostFile file, uint64_t fileSize);

}  // namespace zanthrel
