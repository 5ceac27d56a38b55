// Raw .bin files of MODE2 sectors: whole 2352-byte sectors (sync, header and
// mode byte 2, user data at byte 24), or 2336-byte records without sync and
// header (user data at byte 8). Raw MODE1 sectors the image source reads itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "source/cd_sector.h"
#include "source/data_track.h"
#include "source/disc_image.h"
#include "support/host.h"

namespace zanthrel {

// The record format that a file starting with `head` (at least 32 bytes)
// has, when it is one of these.
std::optional<RecordFormat> RawMode2Format(const uint8_t* head, size_t length);

std::unique_ptr<DataTrack> OpenRawTrack(HostFile file, uint64_t fileSize, RecordFormat format);
// The same file as a disc of one MODE2 track.
std::unique_ptr<DiscImage> OpenRawDisc(HostFile file, uint64_t fileSize, RecordFormat format);

}  // namespace zanthrel
