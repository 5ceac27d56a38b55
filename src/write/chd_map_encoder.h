// A CHD's compressed map from the hunks as written: the reverse of
// DecodeCompressedMap.
#pragma once

#include <cstdint>
#include <vector>

#include "source/chd/chd_map.h"

namespace zanthrel {

// The map's 16-byte header and its stream for `hunks` (kCodec, kStored or
// kSelf of an earlier hunk), the first stored at `firstOffset` and each
// stored one after the other from there.
std::vector<uint8_t> EncodeCompressedMap(const std::vector<ChdHunk>& hunks, uint32_t hunkBytes,
                                         uint64_t firstOffset);

}  // namespace zanthrel
