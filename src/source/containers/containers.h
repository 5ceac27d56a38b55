// Which disc container an image file is, told by its content: a CHD by its
// magic, an NRG image by its footer, a cue sheet by its text, a raw .bin of
// MODE2 sectors by its first sector.
#pragma once

#include <memory>
#include <string>

#include "source/data_track.h"
#include "source/disc_image.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// The data track of the container that `file` (opened from `path`) holds,
// which then takes the file over; null, with the file left alone, when it is
// no container but an image that the image source reads as it stands (plain
// or gzip, 2048-byte or raw MODE1 sectors). A failure with error code 0 is
// the container's fault and its text says what and where; one with a code is
// the host's failure to read `path`.
Result<std::unique_ptr<DataTrack>> OpenContainer(Host& host, const std::string& path, HostFile& file);

// The same container as a whole disc, every track of it, with the data track
// above as its volume's track; null as above when `file` is no container.
Result<std::unique_ptr<DiscImage>> OpenContainerDisc(Host& host, const std::string& path, HostFile& file);

}  // namespace zanthrel
