// An image that is no container as a disc of one track: a plain or gzip
// image of 2048-byte sectors, one MODE1 track whose sectors are made whole
// from the image's first byte, or of raw MODE1 sectors, delivered as stored.
#pragma once

#include <memory>
#include <string>

#include "source/disc_image.h"
#include "source/image_stream.h"
#include "support/result.h"

namespace zanthrel {

// `stream` opened from `path`, from its first byte; a gzip image is inflated
// to its end to count its sectors. A failure says why.
Result<std::unique_ptr<DiscImage>> OpenStreamDisc(std::unique_ptr<ImageStream> stream, const std::string& path);

}  // namespace zanthrel
