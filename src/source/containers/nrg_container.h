// Nero NRG images, v1 ("NERO") and v2 ("NER5"): the footer leads to a chain
// of chunks whose track tables say where the first data track lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "source/data_track.h"
#include "source/disc_image.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// 1 or 2 for a file whose last bytes (`tail`, `length` of them, up to 12)
// are an NRG footer; 0 otherwise.
int NrgVersion(const uint8_t* tail, size_t length);

// The first data track of the NRG image in `file`, of `fileSize` bytes; a
// failure says what in the chunks is wrong.
Result<std::unique_ptr<DataTrack>> OpenNrgTrack(HostFile file, uint64_t fileSize);
// The whole disc of the same image: every track from its INDEX 00 on.
Result<std::unique_ptr<DiscImage>> OpenNrgDisc(HostFile file, uint64_t fileSize);

}  // namespace zanthrel
